// The desktop program: brindle [FOLDER]
#include "frmMain.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>

#include <cstring>

#ifndef BRINDLE_VERSION
#define BRINDLE_VERSION "0.0.0"
#endif

namespace {

// A folder given on the command line or by a file manager (path or file:// address);
// a file stands for the folder it is in.
QString folderArgument(const QString& arg)
{
    QString path = arg;
    if (arg.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(arg).toLocalFile();
    QFileInfo info(path);
    if (info.exists() && !info.isDir())
        info = QFileInfo(info.absolutePath());
    QString folder = info.absoluteFilePath();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void describe(QCommandLineParser& parser)
{
    QCoreApplication::setOrganizationName(brindle::kAppTitle);
    QCoreApplication::setApplicationName(brindle::kAppTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    parser.setApplicationDescription(QStringLiteral("Edit the tags of the MP3 files in a folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("Folder to list instead of the last one used."),
                                 QStringLiteral("[FOLDER]"));
}

bool asksForHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version need no display: they are answered before the window's
    // application, which aborts without one, is created.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        describe(parser);
        parser.process(core); // prints and exits
        return 0;
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    QGuiApplication::setDesktopFileName(QStringLiteral("brindle"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("brindle"), QIcon(QStringLiteral(":/brindle.svg"))));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString folder = args.isEmpty() ? QString() : folderArgument(args.first());

    brindle::frmMain window(brindle::makeQtPlatform(), folder);
    window.show();
    return app.exec();
}
