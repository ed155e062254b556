#include "AcquisitionFiles.h"

#include "platform/NumberFormat.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "records are written as they lie in memory: the files are little-endian");

namespace Acquisition {

namespace {

float single(double v) { return RoundToFloat32(v); }

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString failure(const char* what, const QString& path, int error)
{
    return QStringLiteral("%1 %2: %3").arg(QString::fromLatin1(what), path, systemError(error));
}

FileCloser closeFile = ::close;

// A descriptor that is closed on every path; close() reports what the last close said.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int close()
    {
        const int r = closeFile(fd_);
        fd_ = -1;
        return r == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int openPath(const QString& path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens a file to extend it. A missing file (its folder removed and put back, a memory stick
// pulled and plugged in again) is made anew, but a file that exists is never replaced: one
// that appears meanwhile is opened as it is. `created` tells the caller whose file it is.
int openToExtend(const QString& path, int flags, bool& created)
{
    created = false;
    const int fd = openPath(path, flags);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    const int made = openPath(path, flags | O_CREAT | O_EXCL);
    if (made >= 0 || errno != EEXIST) {
        created = made >= 0;
        return made;
    }
    return openPath(path, flags);
}

// What a failed write leaves: the file as it was, and no file where there was none.
void putBack(int fd, const QString& path, bool created, off_t oldSize)
{
    if (created) {
        [[maybe_unused]] const int gone = ::unlink(QFile::encodeName(path).constData());
    } else {
        [[maybe_unused]] const int cut = ::ftruncate(fd, oldSize);
    }
}

// Writes all bytes at the offset, or at the current position (which O_APPEND keeps at the
// end) when the offset is negative; 0 or the error (ENOSPC for a write that stopped short).
int writeAll(int fd, const char* data, std::size_t size, off_t offset = -1)
{
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= std::size_t(n);
        if (offset >= 0)
            offset += n;
    }
    return 0;
}

int sizeOf(int fd, off_t& size)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    size = st.st_size;
    return 0;
}

// Removes the time-zone letters of a Qt time format (the stored text has none), outside quotes.
QString withoutTimeZone(const QString& format)
{
    QString out;
    bool quoted = false;
    for (const QChar ch : format) {
        if (ch == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && ch == QLatin1Char('t'))
            continue;
        out += ch;
    }
    return out.simplified();
}

void appendFixed(std::string& out, double value, int decimals)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    out.append(buf, r.ptr);
    out += ';';
}

} // namespace

double DateValue(const QDateTime& local)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(local.date());
    const double fraction = local.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the day counts down while the time of day still counts up.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

QString DateTimeText(const QDateTime& local, const QLocale& locale)
{
    QString text = locale.toString(local.date(), locale.dateFormat(QLocale::ShortFormat));
    if (local.time().msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') +
                locale.toString(local.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    return text;
}

BinHeaderTextArray BinHeaderTextFor(const QDateTime& local, const QLocale& locale)
{
    BinHeaderTextArray text{};
    const QByteArray bytes = (QStringLiteral("Quorel file dated on ") + DateTimeText(local, locale)).toLocal8Bit();
    std::memcpy(text.data(), bytes.constData(), std::min<std::size_t>(bytes.size(), text.size() - 1));
    return text;
}

std::array<uint8_t, BinHeaderTotalSize> BinFileHeaderBytes(const BinHeaderTextArray& text)
{
    std::array<uint8_t, BinHeaderTotalSize> h{};
    const uint32_t magic = uint32_t(BinFileMagic);
    for (int i = 0; i < 4; ++i)
        h[i] = uint8_t(magic >> (8 * i));
    h[4] = BinFileVersion;
    std::memcpy(h.data() + 5, text.data(), text.size());
    return h;
}

void FillDipoleRecord(DipoleRecord& r, int c, const WorkspaceArray& w, float geometricFactor,
                      const CycleRecordContext& ctx)
{
    const ArrayElectrodes e = ChannelElectrodes(w, c);
    const ChannelMeasurement m = MeasureChannel(w, c, geometricFactor, ctx.IpMeasured);
    const double d = ctx.TotalDistance;
    const float z = ctx.SounderChecked ? -ctx.SounderDepth : ctx.GpsAltitude;

    r.Kind = ctx.SounderChecked ? 12 : 10;
    r.Version = 3;
    r.PulseTimeMs = float(ctx.RemoteTime * 10);
    r.One = 1;
    r.X[0] = single(e.xA + d);
    r.X[1] = single(e.xB + d);
    r.X[2] = single(e.xM + d);
    r.X[3] = single(e.xN + d);
    r.Y[0] = e.yA;
    r.Y[1] = e.yB;
    r.Y[2] = e.yM;
    r.Y[3] = e.yN;
    std::fill(std::begin(r.Z), std::end(r.Z), z);
    r.Sp = m.Sp;
    r.Vp = m.Vp;
    r.In = m.In;
    r.Rho = m.Rho;
    r.M = m.M;
    r.Channel = uint8_t(c % 10);
    r.Latitude = ctx.GpsLatitude;
    r.Longitude = ctx.GpsLongitude;
    r.TxVoltage = ctx.RemoteTxVoltage;
    r.DateTime = ctx.DateTime;
}

void FillCycleRecords(DipoleRecordArray& records, int channelCount, const WorkspaceArray& w,
                      const std::array<float, 20>& geometricFactors, const CycleRecordContext& ctx)
{
    const int n = std::clamp(channelCount, 0, int(records.size()));
    for (int c = 0; c < n; ++c)
        FillDipoleRecord(records[c], c, w, geometricFactors[c], ctx);
}

QString BinaryFileName(const QString& baseName, int32_t fileIndex)
{
    if (fileIndex == 0)
        return baseName + QStringLiteral(".bin");
    return baseName + QLatin1Char('#') + QString::number(fileIndex) + QStringLiteral(".bin");
}

QString BaseNameProblem(const QString& baseName)
{
    // The longest name a survey may take is that of its last roll-over file; the text and the
    // first binary file are shorter.
    const QString longest = BinaryFileName(baseName, MaxBinaryFileIndex);
    const QFileInfo info(longest);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    long nameMax = ::pathconf(folder.constData(), _PC_NAME_MAX);
    if (nameMax <= 0) {
        struct statvfs fs {};
        nameMax = ::statvfs(folder.constData(), &fs) == 0 && fs.f_namemax > 0 ? long(fs.f_namemax) : NAME_MAX;
    }
    long pathMax = ::pathconf(folder.constData(), _PC_PATH_MAX);
    if (pathMax <= 0)
        pathMax = PATH_MAX;
    const qsizetype nameBytes = QFile::encodeName(info.fileName()).size();
    if (nameBytes > nameMax)
        return QStringLiteral("The acquisition file name is too long: with the number of its last binary file "
                              "(\"%1\") it has %2 bytes, and the folder's file system takes names of at most %3 "
                              "bytes. Choose a shorter name.")
            .arg(info.fileName())
            .arg(nameBytes)
            .arg(nameMax);
    const qsizetype pathBytes = QFile::encodeName(longest).size();
    if (pathBytes >= pathMax)
        return QStringLiteral("The acquisition file path is too long: with the number of its last binary file it "
                              "has %1 bytes, and the system takes paths of less than %2 bytes. Choose a shorter "
                              "name or folder.")
            .arg(pathBytes)
            .arg(pathMax);
    return {};
}

namespace {
// The file ends with these bytes at this position, read back through a descriptor of its own.
bool holds(const QString& path, const std::vector<char>& bytes, off_t position)
{
    Fd fd(openPath(path, O_RDONLY));
    off_t size = 0;
    if (!fd.valid() || sizeOf(fd.get(), size) != 0 || size != position + off_t(bytes.size()))
        return false;
    std::vector<char> onDisk(bytes.size());
    return ::pread(fd.get(), onDisk.data(), onDisk.size(), position) == ssize_t(onDisk.size()) && onDisk == bytes;
}
} // namespace

QString CreateBinaryFile(const QString& path, const BinHeaderTextArray& headerText, BinaryFileState& state)
{
    state.HeaderSize = 0;
    Fd fd(openPath(path, O_WRONLY | O_CREAT | O_TRUNC));
    if (!fd.valid())
        return failure("Cannot create", path, errno);
    const auto header = BinFileHeaderBytes(headerText);
    const char* bytes = reinterpret_cast<const char*>(header.data());
    off_t size = 0;
    int error = writeAll(fd.get(), bytes, header.size(), 0);
    if (!error)
        error = sizeOf(fd.get(), size);
    if (error) {
        // No half header: the cycle's append would take it for another survey's file.
        [[maybe_unused]] const int cut = ::ftruncate(fd.get(), 0);
    }
    const int closeError = fd.close();
    if (error)
        return failure("Cannot write", path, error);
    // A close may report an error after everything was written: the header is there when the
    // file holds it.
    if (closeError && !holds(path, std::vector<char>(bytes, bytes + header.size()), 0))
        return failure("Cannot write", path, closeError);
    state.HeaderSize = int32_t(size);
    return {};
}

namespace {
// The file begins with this survey's header.
bool beginsWithHeader(int fd, const BinHeaderTextArray& headerText)
{
    const auto header = BinFileHeaderBytes(headerText);
    std::array<uint8_t, BinHeaderTotalSize> onDisk{};
    return ::pread(fd, onDisk.data(), onDisk.size(), 0) == ssize_t(onDisk.size()) && onDisk == header;
}

// The records a binary file of this survey holds: its bytes begin with the survey's header and
// go on with whole cycles of channelCount records, perhaps with the final zero byte; none when
// they do not.
std::optional<int32_t> cyclesOfThisSurvey(int fd, const BinHeaderTextArray& headerText, off_t size, int channelCount)
{
    const off_t cycleBytes = off_t(channelCount) * DipoleRecordSize;
    if (size < BinHeaderTotalSize)
        return std::nullopt;
    off_t body = size - BinHeaderTotalSize;
    const bool zeroEnd = body % cycleBytes == 1;
    if (body % cycleBytes != 0 && !zeroEnd)
        return std::nullopt;
    if (zeroEnd)
        body -= 1;

    if (!beginsWithHeader(fd, headerText))
        return std::nullopt;
    if (zeroEnd) {
        char last = 1;
        if (::pread(fd, &last, 1, size - 1) != 1 || last != 0)
            return std::nullopt;
    }
    return int32_t(body / DipoleRecordSize);
}

// The whole cycles of this survey a file it leaves still holds, at most `stored`: none unless it
// begins with the survey's header (another survey's file, a folder), those before a cut.
int32_t cyclesLeftIn(const QString& path, const BinHeaderTextArray& headerText, int channelCount, int32_t stored)
{
    Fd fd(openPath(path, O_RDONLY));
    off_t size = 0;
    if (!fd.valid() || sizeOf(fd.get(), size) != 0 || size < BinHeaderTotalSize || !beginsWithHeader(fd.get(), headerText))
        return 0;
    return std::min<int32_t>(stored, int32_t((size - BinHeaderTotalSize) / (off_t(channelCount) * DipoleRecordSize)));
}

// What one attempt at storing a cycle in one file came to.
enum class Outcome {
    Stored,
    Failed,          // nothing stored; the file can take the cycle another time (full disk, folder away)
    CannotContinue,  // the file is there but is not one this survey can go on in
    Exists,          // a new file was asked for and one of that name is there
};
struct Attempt {
    Outcome outcome;
    QString text;  // the failure; for a file that cannot be continued, why not
    QString file{};  // the file that cannot be continued
    QString notice{}; // stored, but the file was made again or back with fewer cycles
};
QString cyclesText(int32_t n) { return QStringLiteral("%1 cycle%2").arg(n).arg(n == 1 ? "" : "s"); }

// Whatever the open's error, the folder is still there when its own entry can be looked at:
// the file is what cannot be continued (a folder or a read-only file in its place).
bool folderOf(const QString& path)
{
    struct stat st {};
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

Attempt storeIn(const QString& path, const BinHeaderTextArray& headerText, BinaryFileState& state,
                DipoleRecordArray& records, int channelCount, int32_t& pendingMark, int32_t markCounter,
                bool mustBeNew)
{
    bool created = false;
    int opened;
    if (mustBeNew) {
        opened = openPath(path, O_RDWR | O_CREAT | O_EXCL);
        created = opened >= 0;
        if (opened < 0 && errno == EEXIST)
            return {Outcome::Exists, {}};
    } else {
        opened = openToExtend(path, O_RDWR, created);
    }
    Fd fd(opened);
    if (!fd.valid()) {
        const int error = errno;
        const bool fileInTheWay = !mustBeNew && error != ENOENT && error != ENOSPC && folderOf(path);
        if (fileInTheWay)
            return {Outcome::CannotContinue, systemError(error), path};
        return {Outcome::Failed, failure("Cannot open", path, error)};
    }
    off_t oldSize = 0;
    if (int error = sizeOf(fd.get(), oldSize))
        return {Outcome::Failed, failure("Cannot write", path, error)};

    // A file that holds nothing (made just now, or back empty) starts again with its header and
    // counts none of the records stored before; it keeps its name, so a roll-over file stays
    // the file of its number. A file that holds something must be the one this survey wrote.
    const bool fresh = oldSize == 0;
    BinaryFileState next = state;
    QString notice;
    if (fresh) {
        next.RecordsInFile = 0;
        next.HeaderSize = BinHeaderTotalSize;
        const int32_t gone = state.RecordsInFile / channelCount;
        next.CyclesHeld -= gone;
        if (state.HeaderSize > 0 || gone > 0)
            notice = QStringLiteral("%1 was made again").arg(QFileInfo(path).fileName()) +
                     (gone > 0 ? QStringLiteral(", without %1 stored in it").arg(cyclesText(gone)) : QString());
    }
    off_t position = 0;
    if (!fresh) {
        // Whatever its size, the file is this survey's only when it begins with this survey's
        // header and holds whole cycles (and perhaps the final zero byte). One back with other
        // records than it was left with (a stick pulled before its last writes reached it, a
        // cycle written whose close failed) goes on at its end and counts what it holds.
        // Anything else is another file of that name, left as it is.
        const std::optional<int32_t> held = cyclesOfThisSurvey(fd.get(), headerText, oldSize, channelCount);
        if (!held)
            return {Outcome::CannotContinue,
                    QStringLiteral("the file holds other records than this survey stored in it"), path};
        if (*held >= RecordsPerBinaryFile) {
            // This survey's file, full: the cycle goes into the next file of the roll-over.
            const QString suffix = BinaryFileName(QString(), state.FileIndex);
            if (!path.endsWith(suffix))
                return {Outcome::Failed, QStringLiteral("Cannot write %1: the file is full").arg(path)};
            fd.close();
            BinaryFileState rolled = state;
            rolled.RecordsInFile = 0;
            rolled.HeaderSize = 0;
            rolled.FileIndex += 1;
            const QString nextPath = BinaryFileName(path.chopped(suffix.size()), rolled.FileIndex);
            const Attempt attempt =
                storeIn(nextPath, headerText, rolled, records, channelCount, pendingMark, markCounter, false);
            if (attempt.outcome == Outcome::Stored)
                state = rolled;
            else if (attempt.outcome == Outcome::CannotContinue)
                state.FileIndex = rolled.FileIndex; // a new file is looked for after that one
            return attempt;
        }
        if (*held < state.RecordsInFile) {
            const int32_t gone = (state.RecordsInFile - *held) / channelCount;
            next.CyclesHeld -= gone;
            notice = QStringLiteral("%1 was back without %2 stored in it")
                         .arg(QFileInfo(path).fileName(), cyclesText(gone));
        }
        next.RecordsInFile = *held;
        next.HeaderSize = BinHeaderTotalSize;
        position = off_t(*held) * DipoleRecordSize + BinHeaderTotalSize;
    }

    const int32_t mark = pendingMark != 0 ? pendingMark : markCounter;
    records[0].Mark = float(mark);

    // The header of a fresh file, the cycle's records and the final zero byte go in one write,
    // so that the file either gets the whole cycle or is put back as it was.
    const std::size_t recordBytes = std::size_t(channelCount) * DipoleRecordSize;
    const std::size_t headerBytes = fresh ? std::size_t(BinHeaderTotalSize) : 0;
    std::vector<char> buffer(headerBytes + recordBytes + 1, 0);
    if (fresh) {
        const auto header = BinFileHeaderBytes(headerText);
        std::memcpy(buffer.data(), header.data(), header.size());
    }
    std::memcpy(buffer.data() + headerBytes, records.data(), recordBytes);

    // What the write will cover of the old content: the old final zero byte, if any.
    std::vector<char> oldTail(std::size_t(oldSize - position));
    errno = 0;
    if (!oldTail.empty() && ::pread(fd.get(), oldTail.data(), oldTail.size(), position) != ssize_t(oldTail.size()))
        return {Outcome::Failed, failure("Cannot read", path, errno ? errno : EIO)};

    int error = writeAll(fd.get(), buffer.data(), buffer.size(), position);
    if (error) {
        putBack(fd.get(), path, created, oldSize);
        if (!created && !oldTail.empty())
            writeAll(fd.get(), oldTail.data(), oldTail.size(), position);
        return {Outcome::Failed, failure("Cannot write", path, error)};
    }
    if (int closeError = fd.close()) {
        // A close may report an error after everything was written (a network share's deferred
        // write error): the cycle is stored when the file holds it, and counts once; otherwise
        // it failed and nothing is counted or spent.
        if (!holds(path, buffer, position))
            return {Outcome::Failed, failure("Cannot write", path, closeError)};
    }

    state = next;
    state.RecordsInFile += channelCount;
    state.CyclesHeld += 1;
    pendingMark = 0;
    if (state.RecordsInFile >= RecordsPerBinaryFile) {
        state.RecordsInFile = 0;
        state.FileIndex += 1;
    }
    return {Outcome::Stored, {}, {}, notice};
}
} // namespace

QString AppendCycleRecords(const QString& path, const BinHeaderTextArray& headerText, BinaryFileState& state,
                           DipoleRecordArray& records, int channelCount, int32_t& pendingMark, int32_t markCounter,
                           QString* notice)
{
    if (channelCount < 1 || channelCount > int(records.size()))
        return QStringLiteral("No records to store in %1").arg(path);

    BinaryFileState tried = state;
    const Attempt attempt =
        storeIn(path, headerText, tried, records, channelCount, pendingMark, markCounter, false);
    if (attempt.outcome != Outcome::CannotContinue) {
        if (attempt.outcome == Outcome::Stored) {
            state = tried;
            if (notice && !attempt.notice.isEmpty())
                *notice = attempt.notice;
        }
        return attempt.text;
    }

    // The file cannot be continued, but its folder is there: the survey goes on in the first
    // roll-over name after it that no file has, and the file is left as it is.
    const QString refused = QStringLiteral("Cannot write %1: %2").arg(attempt.file, attempt.text);
    const QString suffix = BinaryFileName(QString(), state.FileIndex);
    if (!path.endsWith(suffix))
        return refused;
    const QString base = path.chopped(suffix.size());
    // The cycles of the file left that it no longer holds are no more the survey's.
    int32_t held = state.CyclesHeld;
    if (attempt.file == path) {
        const int32_t stored = state.RecordsInFile / channelCount;
        held -= stored - cyclesLeftIn(path, headerText, channelCount, stored);
    }
    for (int32_t index = tried.FileIndex + 1; index <= MaxBinaryFileIndex; ++index) {
        BinaryFileState fresh;
        fresh.FileIndex = index;
        fresh.CyclesHeld = held;
        const QString newPath = BinaryFileName(base, index);
        const Attempt next =
            storeIn(newPath, headerText, fresh, records, channelCount, pendingMark, markCounter, true);
        if (next.outcome == Outcome::Exists)
            continue;
        if (next.outcome != Outcome::Stored)
            return refused + QStringLiteral("; ") + next.text;
        state = fresh;
        if (notice)
            *notice = QStringLiteral("%1 cannot be continued (%2): the survey goes on in %3")
                            .arg(QFileInfo(attempt.file).fileName(), attempt.text, QFileInfo(newPath).fileName());
        return {};
    }
    return refused + QStringLiteral("; every roll-over name is taken");
}

const char* const TextHeaderLine =
    "Distance;Depth;Rho 1;M 1;Rho 2;M 2;Rho 3;M 3;Rho 4;M 4;Rho 5;M 5;Rho 6;M 6;Rho 7;M 7;Rho 8;M 8;"
    "Rho 9;M 9;Rho 10;M 10;C1;C2;P1;P2;P3;P4;P5;P6;P7;P8;P9;P10;P11;Latitude;Longitude;In+;In-;"
    "V1+;V1-;V2+;V2-;V3+;V3-;V4+;V4-;V5+;V5-;V6+;V6-;V7+;V7-;V8+;V8-;V9+;V9-;V10+;V10-";

namespace {
// A sentence field is one field of one line: a ";" or a line feed from a garbled line would
// add a field or split the row, so each becomes a blank. keepCrAt is the one carriage return
// the row keeps (the end of the GPS field); any other one would end the line for some readers.
std::string fieldText(std::string field, std::size_t keepCrAt = std::string::npos)
{
    for (std::size_t i = 0; i < field.size(); ++i) {
        char& ch = field[i];
        if (ch == ';' || ch == '\n' || (ch == '\r' && i != keepCrAt))
            ch = ' ';
    }
    return field;
}
} // namespace

std::string GpsField(const std::string& sentence)
{
    const std::size_t cr = sentence.find('\r');
    if (sentence.size() > 5 && cr == std::string::npos)
        return fieldText(sentence.substr(0, 80));
    if (cr == std::string::npos)
        return {};
    return fieldText(sentence.substr(0, cr + 1), cr);
}

std::string SounderField(const std::string& sentence)
{
    const std::size_t star = sentence.find('*');
    return star == std::string::npos ? std::string() : fieldText(sentence.substr(0, star + 1));
}

std::string TextRows(const DipoleRecordArray& records, int channelCount, const WorkspaceArray& w,
                     const TextRowContext& ctx)
{
    const std::string gps = GpsField(ctx.GpsSentence);
    const std::string sounder = SounderField(ctx.SounderSentence);
    std::string text;
    const int rows = channelCount > 10 ? 2 : 1;
    for (int row = 0; row < rows; ++row) {
        const int first = row * 10;
        appendFixed(text, ctx.Trip, 2);
        appendFixed(text, ctx.SounderDepth, 2);
        // Rho and M per channel; a value that cannot be written as a number ends the pairs
        // with "0;" fillers, so that the row keeps its 61 fields.
        bool filler = false;
        for (int c = first; c < first + 10; ++c) {
            const bool used = c < channelCount;
            const float rho = used ? records[c].Rho : 0.0f;
            const float m = used ? records[c].M : 0.0f;
            filler = filler || !std::isfinite(rho) || !std::isfinite(m);
            if (filler) {
                text += "0;0;";
                continue;
            }
            appendFixed(text, rho, 4);
            appendFixed(text, m, 4);
        }
        const int x = row == 0 ? Ws::Set1X : Ws::Set2X;
        for (int i = 0; i < 13; ++i)
            appendFixed(text, double(w[x + i]) + ctx.TotalDistance, 2);
        appendFixed(text, ctx.GpsLatitude, 6);
        appendFixed(text, ctx.GpsLongitude, 6);
        const int v = row == 0 ? 0 : 42;
        appendFixed(text, w[v + 10], 4);
        appendFixed(text, w[v + 21], 4);
        for (int k = 0; k < 10; ++k) {
            appendFixed(text, w[v + k], 4);
            appendFixed(text, w[v + 11 + k], 4);
        }
        text += gps;
        text += ';';
        text += sounder;
        text += ";\r\n";
    }
    return text;
}

namespace {

uint64_t hashOn(uint64_t hash, const char* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        hash ^= uint8_t(data[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}
constexpr uint64_t HashStart = 0xcbf29ce484222325ull;

std::string headerLine() { return std::string(TextHeaderLine) + "\r\n"; }

// How much of the file, `size` bytes long, is what this survey wrote: -1 when it holds
// anything else. The last piece is read back alone while the file is as it was left; a file
// found shorter is read from its start up to the last piece end it still holds whole.
struct TextFound {
    bool Ours = false;
    size_t EndsKept = 0;        // piece ends that the file still holds
    uint64_t Hash = HashStart;  // of the whole file, when ours
    bool EndsWithLine = true;   // its last byte ends a line (or it is empty)
    std::string Tail;           // what follows the last whole piece
};

TextFound findText(int fd, off_t size, const TextFileState& state)
{
    TextFound found;
    const auto& ends = state.Ends;
    if (size == 0) {
        found.Ours = true;
        return found;
    }
    if (ends.empty() || size > ends.back().Offset)
        return found;
    size_t kept = ends.size();
    while (kept > 0 && ends[kept - 1].Offset > size)
        --kept;
    // Read from the end before the last one kept (or the start) up to the file's end.
    const size_t from = kept == ends.size() && kept >= 2 ? kept - 1 : 0;
    const off_t start = from == 0 ? 0 : ends[from - 1].Offset;
    std::string bytes(size_t(size - start), '\0');
    if (::pread(fd, bytes.data(), bytes.size(), start) != ssize_t(bytes.size()))
        return found;
    uint64_t hash = from == 0 ? HashStart : ends[from - 1].Hash;
    off_t at = start;
    for (size_t k = from; k < kept; ++k) {
        const size_t n = size_t(ends[k].Offset - at);
        hash = hashOn(hash, bytes.data() + (at - start), n);
        at = ends[k].Offset;
        if (hash != ends[k].Hash)
            return found;
    }
    // What follows the last whole piece is the start of the next one, which must be the
    // start of what this survey wrote there where that is known: the header, the rows after
    // it, or the last piece. A file that holds rows of this survey is its file whatever is cut.
    const std::string tail = bytes.substr(size_t(at - start));
    const auto startOf = [&tail](const std::string& piece) { return piece.compare(0, tail.size(), tail) == 0 && tail.size() <= piece.size(); };
    const bool known = tail.empty() || (kept == 0 && startOf(headerLine())) ||
                       (kept + 1 == ends.size() && startOf(state.LastPiece)) ||
                       (kept == 1 && startOf(state.FirstRows)) || kept >= 2;
    if (!known)
        return found;
    hash = hashOn(hash, tail.data(), tail.size());
    found.Tail = tail;
    found.Ours = true;
    found.EndsKept = kept;
    found.Hash = hash;
    found.EndsWithLine = bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0;
    return found;
}

} // namespace

QString WriteTextHeader(const QString& path, TextFileState& state)
{
    state = TextFileState{};
    Fd fd(openPath(path, O_WRONLY | O_CREAT | O_TRUNC));
    if (!fd.valid())
        return failure("Cannot create", path, errno);
    const std::string line = headerLine();
    const int error = writeAll(fd.get(), line.data(), line.size());
    if (error) {
        // No half header: an empty file gets the whole line with the first row.
        [[maybe_unused]] const int cut = ::ftruncate(fd.get(), 0);
    }
    const int closeError = fd.close();
    if (error)
        return failure("Cannot write", path, error);
    // A header that reached the file despite a failed close is this survey's: its rows follow it.
    if (closeError && !holds(path, std::vector<char>(line.begin(), line.end()), 0))
        return failure("Cannot write", path, closeError);
    state.Ends.push_back({off_t(line.size()), hashOn(HashStart, line.data(), line.size()), 0});
    state.LastPiece = line;
    return {};
}

QString AppendTextRows(const QString& path, const std::string& rows, TextFileState& state, QString* notice)
{
    bool created = false;
    Fd fd(openToExtend(path, O_RDWR | O_APPEND, created));
    if (!fd.valid())
        return failure("Cannot open", path, errno);
    off_t oldSize = 0;
    if (int error = sizeOf(fd.get(), oldSize))
        return failure("Cannot write", path, error);
    const TextFound found = findText(fd.get(), oldSize, state);
    state.OtherFileInPlace = !found.Ours;
    if (!found.Ours)
        return QStringLiteral("Cannot write %1: the file holds other rows than this survey wrote in it").arg(path);
    // A file without a line yet (made again after its folder came back, or left empty by a
    // header that could not be written) begins with the header line; a file cut inside a
    // line gets its line ended first, so that no row is glued to what is left.
    std::string text;
    if (oldSize == 0)
        text = headerLine();
    else if (!found.EndsWithLine)
        text = found.Tail.empty() || found.Tail.back() != '\r' ? "\r\n" : "\n"; // a lone CR: its row was whole
    const size_t lead = text.size();
    text += rows;
    if (int error = writeAll(fd.get(), text.data(), text.size())) {
        // No half row: the file goes back to what it held.
        putBack(fd.get(), path, created, oldSize);
        return failure("Cannot write", path, error);
    }
    if (int closeError = fd.close()) {
        // A close may report an error after everything was written (a network share's
        // deferred write error): the rows are there when the file holds them.
        if (!holds(path, std::vector<char>(text.begin(), text.end()), oldSize))
            return failure("Cannot write", path, closeError);
    }
    std::vector<TextFileState::End>& ends = state.Ends;
    const int32_t wrote = state.CyclesHeld();
    // A last piece that lost only its LF is whole again: it stays counted.
    const bool restored = oldSize > 0 && lead > 0 && found.EndsKept + 1 == ends.size() &&
                          found.Tail + text.substr(0, lead) == state.LastPiece;
    ends.resize(oldSize == 0 ? 0 : found.EndsKept + (restored ? 1 : 0));
    const int32_t gone = wrote - state.CyclesHeld();
    if (notice && gone > 0)
        *notice = QString::fromLatin1(oldSize == 0 ? "%1 was made again, without %2 written in it" : "%1 was back without %2 written in it")
                      .arg(QFileInfo(path).fileName(), cyclesText(gone));
    uint64_t hash = found.Hash;
    if (oldSize == 0) {
        hash = hashOn(HashStart, text.data(), lead);
        ends.push_back({int64_t(lead), hash, 0});
        state.LastPiece = rows;
    } else {
        hash = hashOn(hash, text.data(), lead);
        state.LastPiece = restored ? rows : found.Tail + text;
    }
    ends.push_back({int64_t(oldSize) + int64_t(text.size()), hashOn(hash, rows.data(), rows.size()), state.CyclesHeld() + 1});
    if (ends.size() == 2)
        state.FirstRows = state.LastPiece;
    return {};
}

QString MissingCyclesText(const QString& binName, int32_t binHeld, const QString& textName, int32_t textHeld,
                          int32_t cycles, bool stopped, bool furtherBinFiles)
{
    const QString bin = furtherBinFiles ? QStringLiteral("the binary files") : QFileInfo(binName).fileName();
    const QString text = QFileInfo(textName).fileName();
    QStringList parts;
    if (binHeld < cycles)
        parts << QStringLiteral("%1 %2 %3").arg(bin, furtherBinFiles ? "lack" : "lacks", cyclesText(cycles - binHeld));
    if (textHeld < cycles)
        parts << QStringLiteral("%1 lacks %2").arg(text, cyclesText(cycles - textHeld));
    if (stopped && binHeld != textHeld)
        parts << QStringLiteral("the files differ: %1 %2 %3, %4 %5")
                     .arg(bin, furtherBinFiles ? "hold" : "holds", cyclesText(binHeld), text, cyclesText(textHeld));
    return parts.join(QStringLiteral(", "));
}

void FileSizeLimitFailsWrites()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

FileCloser SetFileCloser(FileCloser closer)
{
    const FileCloser previous = closeFile;
    closeFile = closer ? closer : ::close;
    return previous;
}

} // namespace Acquisition
