#pragma once
// The platform services the main window uses. Each is a small interface with a Qt
// implementation (QtPlatform.h) and an in-memory double for tests
// (tests/support/platform/FakePlatform.h).

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QWidget;

namespace brindle {

class FileOps;

// Caption of every message box and the settings' organisation and application name.
inline const QString kAppTitle = QStringLiteral("Brindle");
inline const QString kFolderPrompt = QStringLiteral("Please select a Music Folder:");
inline const QString kImageDialogTitle = QStringLiteral("Select Image");
// Description|patterns pairs, in the order the open dialog offers them.
inline const QString kImageFilter = QStringLiteral(
    "All Supported Formats|*.bmp;*.dib;*.gif;*.jpeg;*.jpg;*.jpe;*.jfif;*.jfi;*.jif;*.png|"
    "Windows Bitmap|*.bmp;*.dib|"
    "Graphics Interchange Format|*.gif|"
    "JPEG File Interchange Format|*.jpeg;*.jpg;*.jpe;*.jfif;*.jfi;*.jif|"
    "Portable Network Graphics|*.png");

// Converts the "description|patterns|..." list into QFileDialog's form. Patterns are
// offered in upper case too because Linux file systems, unlike the dialog users know
// from elsewhere, match names case-sensitively.
QString qtImageFilter(const QString& pipeList = kImageFilter);

// Per-user store of decimal-text values addressed by section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<QString> value(const QString& section, const QString& key) const = 0;
    virtual void setValue(const QString& section, const QString& key, const QString& text) = 0;
    // Makes written values durable (a no-op where writes are immediate).
    virtual void sync() {}

    // A whole number, rounded half to even like the stored text's original readers did;
    // absent, non-numeric or out-of-range text gives the default.
    int readInt(const QString& section, const QString& key, int fallback) const;
    double readDouble(const QString& section, const QString& key, double fallback) const;
    void writeInt(const QString& section, const QString& key, int v);
    void writeDouble(const QString& section, const QString& key, double v);
};

// Parses stored decimal text; nullopt when the text is not a finite number.
std::optional<double> parseDecimal(const QString& text);
// Shortest decimal text that reads back to the same double.
QString formatDecimal(double v);

class UserFolders {
public:
    virtual ~UserFolders() = default;
    // The user's music folder, without a trailing separator.
    virtual QString musicFolder() const = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Existing folder chosen by the user, "" when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder) = 0;
    // Image file for the album art ("Select Image" with the image filter), "" when cancelled.
    virtual QString openImageFile(QWidget* owner) = 0;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(QWidget* owner, const QString& text) = 0;
    virtual void exclamation(QWidget* owner, const QString& text) = 0;
    // Warning icon with Yes and No; true for Yes. Enter presses the default button.
    enum class Default { Yes, No };
    virtual bool askYesNo(QWidget* owner, const QString& text, Default preset = Default::Yes) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a file or a web address with the user's default program for it.
    virtual bool open(const QString& fileOrUrl) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;
    virtual void setImage(const QImage& image) = 0;
    virtual bool hasImage() const = 0;
    // A null image when the clipboard holds no picture.
    virtual QImage image() const = 0;
    virtual void clear() = 0;
};

// Everything the window needs of its surroundings, owned in one place.
struct Platform {
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<UserFolders> folders;
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<MessageBoxes> messages;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<FileOps> files;

    Platform();
    Platform(Platform&&) noexcept;
    Platform& operator=(Platform&&) noexcept;
    ~Platform();
};

} // namespace brindle
