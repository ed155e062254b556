#pragma once
#include "acquisition/Geometry.h"
#include "link/Varnokpro.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The binary and text acquisition files of a survey, kept apart from the window. Every file
// operation returns an error text, empty on success; a failure never damages what the file
// already holds and never counts what was not written. The window calls:
//   entry of the survey handler    BinHeaderText = BinHeaderTextFor(QDateTime::currentDateTime())
//   Start given                    err = BaseNameProblem(WithoutExtension(AcquisitionFileName))
//                                  (refused if not empty)
//   Start accepted                 err = WriteTextHeader(AcquisitionFileName, Text)
//   programming                    Files = BinaryFileState{}; MarkCounter = PendingMark = 0
//   cycle head                     name = BinaryFileName(AcquisitionBaseName, Files.FileIndex)
//   RecordsInFile 0 (step 7)       err = CreateBinaryFile(name, BinHeaderText, Files)
//   stored cycle (step 12)         v = DateValue(QDateTime::currentDateTime());
//                                  FillCycleRecords(DipoleRecords, ChannelCount, Workspace,
//                                                   GeometricFactors, context)
//   stored cycle (step 14)         err = AppendCycleRecords(name, BinHeaderText, Files,
//                                      DipoleRecords, ChannelCount, PendingMark, MarkCounter,
//                                      &notice) (rolls over, or goes on in a new file)
//   stored cycle (step 15)         err = AppendTextRows(AcquisitionFileName,
//                                      TextRows(DipoleRecords, ChannelCount, Workspace, row), Text)
namespace Acquisition {

inline constexpr int32_t BinHeaderTotalSize = 1029;
inline constexpr int32_t DipoleRecordSize = 304;
inline constexpr int32_t RecordsPerBinaryFile = 16000;  // roll over once a file holds this many
inline constexpr int32_t MaxBinaryFileIndex = 99;        // the last roll-over name a survey may take
inline constexpr int32_t BinFileMagic = int32_t(0x80000002u);
inline constexpr uint8_t BinFileVersion = 9;

using BinHeaderTextArray = std::array<char, 1024>;
using DipoleRecordArray = std::array<DipoleRecord, 20>;

// Local date and time as days since 30 December 1899, the fraction being the time of day.
double DateValue(const QDateTime& local);

// The date-time text of the binary header: the locale's short date, a blank, its long time;
// at exactly midnight the time is left out.
QString DateTimeText(const QDateTime& local, const QLocale& locale = QLocale::system());

// "Quorel file dated on " + DateTimeText, at most 1023 bytes, zero-filled to 1024.
BinHeaderTextArray BinHeaderTextFor(const QDateTime& local, const QLocale& locale = QLocale::system());

// The 1029 bytes of BinFileHeader: 0x80000002 little-endian, the byte 9, the header text.
std::array<uint8_t, BinHeaderTotalSize> BinFileHeaderBytes(const BinHeaderTextArray& text);

// What a stored cycle's records take besides the workspace and the geometric factors.
struct CycleRecordContext {
    bool SounderChecked = false;   // SounderCB
    bool IpMeasured = false;       // IpDataChk
    uint16_t RemoteTime = 0;       // pulse time, units of 10 ms
    float RemoteTxVoltage = 0;     // V
    float TotalDistance = 0;       // m, added to every x
    float SounderDepth = 0;        // m, after the stored-cycle update
    float GpsAltitude = 0;
    float GpsLatitude = 0;         // ddmm.mmmm
    float GpsLongitude = 0;        // dddmm.mmmm
    double DateTime = 0;           // DateValue of the cycle, one for all its records
};

// Writes every field of channel c's record (0..19) that has a source; the others stay as
// they are (zero from construction). The mark is written by the append.
void FillDipoleRecord(DipoleRecord& record, int c, const WorkspaceArray& w, float geometricFactor,
                      const CycleRecordContext& ctx);
// Channels 0 .. channelCount - 1 (at most 20); the records above are not touched.
void FillCycleRecords(DipoleRecordArray& records, int channelCount, const WorkspaceArray& w,
                      const std::array<float, 20>& geometricFactors, const CycleRecordContext& ctx);

// The binary-file counters of one survey.
struct BinaryFileState {
    int32_t RecordsInFile = 0;  // records in the current file
    int32_t HeaderSize = 0;     // its size right after the header (1029); 0 while not created
    int32_t FileIndex = 0;      // 0 for the first file, then 1, 2...
    int32_t CyclesHeld = 0;     // this survey's cycles that its binary files hold
};

// base + ".bin" for index 0, else base + "#" + index + ".bin".
QString BinaryFileName(const QString& baseName, int32_t fileIndex);

// Why the base name cannot be a survey's, empty when it can: every name the survey may take,
// up to its last roll-over file, must fit the folder's file system.
QString BaseNameProblem(const QString& baseName);

// Creates (or replaces) the binary file with its header and sets HeaderSize; on failure
// HeaderSize is 0 and the next cycle tries again.
QString CreateBinaryFile(const QString& path, const BinHeaderTextArray& headerText,
                         BinaryFileState& state);

// Appends the records of channels 1..channelCount and the final zero byte at
// RecordsInFile x 304 + HeaderSize. Record 0 carries the pending one-shot mark, else the mark
// counter. A file that is missing or empty (its folder was removed and came back) is made
// again with its header and holds this cycle's records alone; a file whose size is not what
// this survey wrote in it is another file and is refused, never cut or overwritten. Only when
// everything was written: RecordsInFile grows, the one-shot mark is spent, and at 16000
// records or more the state rolls over to the next file. On failure the file is left as it
// was (a file made for the cycle is removed again) and nothing is counted or spent.
// A file that cannot be continued (another file of that name, a folder in its place) while its
// folder can be written is left as it is: the cycle goes into a new file, the first roll-over
// name after it that no file has, which the state then names; `notice` then says why and which
// file the survey goes on in, and the call succeeds. `notice` also says when the file was made
// again, or was back with fewer cycles than this survey stored in it: CyclesHeld then counts
// only what the files hold.
QString AppendCycleRecords(const QString& path, const BinHeaderTextArray& headerText, BinaryFileState& state,
                           DipoleRecordArray& records, int channelCount, int32_t& pendingMark, int32_t markCounter,
                           QString* notice = nullptr);

// For the whole process: a write beyond a file-size limit fails (EFBIG) as on a full disk,
// which the survey reports and survives, instead of the signal ending the program inside a
// cycle. The program calls it first thing.
void FileSizeLimitFailsWrites();

// The close that ends every write of a file and tells whether the write went well; a test puts
// one that fails as a network share's deferred write error does. Gives the one it replaces;
// nullptr puts back the system's.
using FileCloser = int (*)(int fd);
FileCloser SetFileCloser(FileCloser closer);

// The header line of the text file, without its line end (59 names).
extern const char* const TextHeaderLine;

// What the text rows of a stored cycle take besides the records and the workspace.
struct TextRowContext {
    float Trip = 0;
    float SounderDepth = 0;        // the stored depth (altitude without sounder)
    float TotalDistance = 0;
    float GpsLatitude = 0;
    float GpsLongitude = 0;
    std::string GpsSentence;
    std::string SounderSentence;
};

// The cut rules of the two sentence fields. A field stays one field of one line: a ";", a line
// feed or a carriage return inside it becomes a blank (the GPS field's closing CR stays).
std::string GpsField(const std::string& sentence);
std::string SounderField(const std::string& sentence);

// The cycle's rows as the file receives them: one row of 61 fields, a second for channels 11
// to 20 when channelCount is above 10; a point as decimal separator whatever the locale,
// every line ended by CR LF.
std::string TextRows(const DipoleRecordArray& records, int channelCount, const WorkspaceArray& w,
                     const TextRowContext& ctx);

// What this survey wrote in its text file, so that it writes in no other file of that name:
// where each piece it wrote (the header line, each cycle's rows) ends, with a hash of the
// file's bytes up to there.
struct TextFileState {
    struct End {
        int64_t Offset;
        uint64_t Hash;
        int32_t Cycles; // whole cycles' rows up to there
    };
    std::vector<End> Ends;
    std::string LastPiece; // the bytes of the last piece, to tell a cut inside it
    std::string FirstRows; // the bytes of the piece after the header, likewise: the header is
                           // every survey's, so only a row tells this survey's file
    // The last append found another file in this one's place: none of this survey's rows count
    // as held while it is there, since none can be told this survey's.
    bool OtherFileInPlace = false;
    int32_t CyclesHeld() const { return OtherFileInPlace || Ends.empty() ? 0 : Ends.back().Cycles; }
};

// Creates or empties the text file and writes its header line; a line that cannot be written
// whole leaves the file empty. The state then holds that line alone.
QString WriteTextHeader(const QString& path, TextFileState& state);

// Appends the rows whole, or leaves the file as it was. A file that is missing or empty gets
// the header line first. A file is written to only while it holds what this survey wrote in
// it, or the start of that (cut by another program, or by a write that failed): its next row
// then starts on a line of its own. Any other file under the name is left untouched and
// refused. `notice` says when the file was made again, or was found with fewer of this
// survey's rows than it wrote.
QString AppendTextRows(const QString& path, const std::string& rows, TextFileState& state, QString* notice = nullptr);

// What the connection line says of files that did not get every cycle of the survey
// (`cycles`: the cycles the survey stored or tried to), and at Stop of files that hold
// different numbers of cycles; empty when there is nothing to say. `furtherBinFiles`: the
// survey went on past its first binary file, so `binHeld` is its binary files' together, and
// they are named together.
QString MissingCyclesText(const QString& binName, int32_t binHeld, const QString& textName, int32_t textHeld,
                          int32_t cycles, bool stopped, bool furtherBinFiles = false);

} // namespace Acquisition
