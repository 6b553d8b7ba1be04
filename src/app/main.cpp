// The desktop program: brindle [FOLDER]
#include "frmMain.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>

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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(brindle::kAppTitle);
    QCoreApplication::setApplicationName(brindle::kAppTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("brindle"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("brindle"), QIcon(QStringLiteral(":/brindle.svg"))));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Edit the tags of the MP3 files in a folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Folder to list instead of the last one used."),
                                 QStringLiteral("[FOLDER]"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString folder = args.isEmpty() ? QString() : folderArgument(args.first());

    brindle::frmMain window(brindle::makeQtPlatform(), folder);
    window.show();
    return app.exec();
}
