#pragma once
// The Qt implementations of the platform services.

#include "platform/Platform.h"

#include <QSettings>
#include <QUrl>

namespace brindle {

class QtSettingsStore : public SettingsStore {
public:
    // The user's store for organisation and application "Brindle".
    QtSettingsStore();
    // An INI file at a given path (tests, portable use).
    explicit QtSettingsStore(const QString& iniFile);
    std::optional<QString> value(const QString& section, const QString& key) const override;
    void setValue(const QString& section, const QString& key, const QString& text) override;
    void sync() override;

private:
    QSettings settings_;
};

class QtUserFolders : public UserFolders {
public:
    QString musicFolder() const override;
};

class QtDialogs : public Dialogs {
public:
    QString chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder) override;
    QString openImageFile(QWidget* owner) override;
};

class QtMessageBoxes : public MessageBoxes {
public:
    void information(QWidget* owner, const QString& text) override;
    void exclamation(QWidget* owner, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& text, Default preset = Default::Yes) override;
};

class QtShell : public Shell {
public:
    bool open(const QString& fileOrUrl) override;
};

class QtClipboard : public Clipboard {
public:
    void setText(const QString& text) override;
    QString text() const override;
    void setImage(const QImage& image) override;
    bool hasImage() const override;
    QImage image() const override;
    void clear() override;
};

// Every service backed by Qt and the real file system.
Platform makeQtPlatform();

// What a shell "open" of this text should address: an existing local path as a file
// URL, anything else as the address a user would mean by it.
QUrl urlForOpen(const QString& fileOrUrl);

} // namespace brindle
