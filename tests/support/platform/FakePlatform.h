#pragma once
// In-memory stand-ins for the platform services, for driving the window in tests:
// settings in a map, scripted dialog answers, recorded messages and shell requests.
// File operations stay real (tests work on temporary folders).

#include "platform/FileOps.h"
#include "platform/Platform.h"

#include <QList>
#include <QMap>
#include <QPair>

#include <deque>

namespace brindle {

class FakeSettings : public SettingsStore {
public:
    std::optional<QString> value(const QString& section, const QString& key) const override
    {
        const auto it = values.constFind(section + QLatin1Char('/') + key);
        if (it == values.constEnd())
            return std::nullopt;
        return *it;
    }
    void setValue(const QString& section, const QString& key, const QString& text) override
    {
        values.insert(section + QLatin1Char('/') + key, text);
    }
    void sync() override { ++syncs; }

    // Convenience for tests: "Section/Key" → text, or "" when absent.
    QString at(const QString& sectionSlashKey) const { return values.value(sectionSlashKey); }

    QMap<QString, QString> values;
    int syncs = 0;
};

class FakeUserFolders : public UserFolders {
public:
    QString musicFolder() const override { return music; }
    QString music;
};

class FakeDialogs : public Dialogs {
public:
    QString chooseFolder(QWidget*, const QString& prompt, const QString& startFolder) override
    {
        folderRequests.append({prompt, startFolder});
        if (folderAnswers.empty())
            return {};
        QString a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    QString openImageFile(QWidget*) override
    {
        ++imageRequests;
        if (imageAnswers.empty())
            return {};
        QString a = imageAnswers.front();
        imageAnswers.pop_front();
        return a;
    }

    std::deque<QString> folderAnswers;             // "" or none left = cancel
    QList<QPair<QString, QString>> folderRequests; // prompt, start folder
    std::deque<QString> imageAnswers;
    int imageRequests = 0;
};

class FakeMessageBoxes : public MessageBoxes {
public:
    enum class Kind { Information, Exclamation, YesNo };
    struct Shown {
        Kind kind;
        QString text;
        bool noIsDefault = false; // for questions
    };
    void information(QWidget*, const QString& text) override { shown.append({Kind::Information, text}); }
    void exclamation(QWidget*, const QString& text) override { shown.append({Kind::Exclamation, text}); }
    bool askYesNo(QWidget*, const QString& text, Default preset = Default::Yes) override
    {
        shown.append({Kind::YesNo, text, preset == Default::No});
        return answerYes;
    }

    QList<Shown> shown;
    bool answerYes = false;
};

class FakeShell : public Shell {
public:
    bool open(const QString& fileOrUrl) override
    {
        opened << fileOrUrl;
        return succeed;
    }
    QStringList opened;
    bool succeed = true;
};

class FakeClipboard : public Clipboard {
public:
    void setText(const QString& t) override
    {
        text_ = t;
        image_ = QImage();
    }
    QString text() const override { return text_; }
    void setImage(const QImage& img) override
    {
        image_ = img;
        text_.clear();
    }
    bool hasImage() const override { return !image_.isNull(); }
    QImage image() const override { return image_; }
    void clear() override
    {
        text_.clear();
        image_ = QImage();
    }

private:
    QString text_;
    QImage image_;
};

// A Platform made of fakes, with typed pointers to them for the test to script and
// inspect. The pointers stay valid while whoever took `platform` keeps it.
struct FakePlatform {
    FakeSettings* settings;
    FakeUserFolders* folders;
    FakeDialogs* dialogs;
    FakeMessageBoxes* messages;
    FakeShell* shell;
    FakeClipboard* clipboard;
    Platform platform;

    FakePlatform()
    {
        auto s = std::make_unique<FakeSettings>();
        auto f = std::make_unique<FakeUserFolders>();
        auto d = std::make_unique<FakeDialogs>();
        auto m = std::make_unique<FakeMessageBoxes>();
        auto sh = std::make_unique<FakeShell>();
        auto c = std::make_unique<FakeClipboard>();
        settings = s.get();
        folders = f.get();
        dialogs = d.get();
        messages = m.get();
        shell = sh.get();
        clipboard = c.get();
        platform.settings = std::move(s);
        platform.folders = std::move(f);
        platform.dialogs = std::move(d);
        platform.messages = std::move(m);
        platform.shell = std::move(sh);
        platform.clipboard = std::move(c);
        platform.files = std::make_unique<PosixFileOps>();
    }
};

} // namespace brindle
