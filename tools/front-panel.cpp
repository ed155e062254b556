// Draws the instrument's front panels and stores them as the JPEGs that the cable-connection
// views show: front-panel <folder> writes <folder>/FrontPanel10.jpg and FrontPanel20.jpg.
#include "views/FrontPanel.h"
#include "views/Jpeg.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: front-panel <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (auto [model, name] : {std::pair{FrontPanel::Model::Channels10, "FrontPanel10.jpg"},
                               std::pair{FrontPanel::Model::Channels20, "FrontPanel20.jpg"}}) {
        QString error;
        const QByteArray jpeg = Jpeg::Encode(FrontPanel::Draw(model), 88, &error);
        QFile out(folder + "/" + name);
        if (jpeg.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(jpeg) != jpeg.size()) {
            std::fprintf(stderr, "%s: %s\n", name, qPrintable(error.isEmpty() ? out.errorString() : error));
            return 1;
        }
        std::printf("%s: %lld bytes\n", name, static_cast<long long>(jpeg.size()));
    }
    return 0;
}
