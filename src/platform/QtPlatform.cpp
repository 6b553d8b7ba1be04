#include "platform/QtPlatform.h"

#include "platform/FileOps.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardPaths>
#include <QUrl>

namespace brindle {

namespace {

QString settingsKey(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

} // namespace

QtSettingsStore::QtSettingsStore() : settings_(kAppTitle, kAppTitle) {}

QtSettingsStore::QtSettingsStore(const QString& iniFile) : settings_(iniFile, QSettings::IniFormat) {}

std::optional<QString> QtSettingsStore::value(const QString& section, const QString& key) const
{
    const QString k = settingsKey(section, key);
    if (!settings_.contains(k))
        return std::nullopt;
    return settings_.value(k).toString();
}

void QtSettingsStore::setValue(const QString& section, const QString& key, const QString& text)
{
    settings_.setValue(settingsKey(section, key), text);
}

void QtSettingsStore::sync() { settings_.sync(); }

QString QtUserFolders::musicFolder() const
{
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return withoutTrailingSlash(music);
}

QString QtDialogs::chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, prompt, startFolder, QFileDialog::ShowDirsOnly);
    return withoutTrailingSlash(chosen);
}

QString QtDialogs::openImageFile(QWidget* owner)
{
    return QFileDialog::getOpenFileName(owner, kImageDialogTitle, QString(), qtImageFilter());
}

void QtMessageBoxes::information(QWidget* owner, const QString& text)
{
    QMessageBox::information(owner, kAppTitle, text, QMessageBox::Ok);
}

void QtMessageBoxes::exclamation(QWidget* owner, const QString& text)
{
    QMessageBox::warning(owner, kAppTitle, text, QMessageBox::Ok);
}

bool QtMessageBoxes::askYesNo(QWidget* owner, const QString& text, Default preset)
{
    return QMessageBox::warning(owner, kAppTitle, text, QMessageBox::Yes | QMessageBox::No,
                                preset == Default::Yes ? QMessageBox::Yes : QMessageBox::No) == QMessageBox::Yes;
}

QUrl urlForOpen(const QString& fileOrUrl)
{
    const QString t = fileOrUrl.trimmed();
    if (t.isEmpty())
        return {};
    if (t.startsWith(QLatin1Char('/')) || QFileInfo::exists(t))
        return QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
    return QUrl::fromUserInput(t);
}

bool QtShell::open(const QString& fileOrUrl)
{
    const QUrl url = urlForOpen(fileOrUrl);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void QtClipboard::setText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

QString QtClipboard::text() const { return QGuiApplication::clipboard()->text(); }

void QtClipboard::setImage(const QImage& image) { QGuiApplication::clipboard()->setImage(image); }

bool QtClipboard::hasImage() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

QImage QtClipboard::image() const { return QGuiApplication::clipboard()->image(); }

void QtClipboard::clear() { QGuiApplication::clipboard()->clear(); }

Platform makeQtPlatform()
{
    Platform p;
    p.settings = std::make_unique<QtSettingsStore>();
    p.folders = std::make_unique<QtUserFolders>();
    p.dialogs = std::make_unique<QtDialogs>();
    p.messages = std::make_unique<QtMessageBoxes>();
    p.shell = std::make_unique<QtShell>();
    p.clipboard = std::make_unique<QtClipboard>();
    p.files = std::make_unique<PosixFileOps>();
    return p;
}

} // namespace brindle
