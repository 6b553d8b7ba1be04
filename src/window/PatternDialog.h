#pragma once
// The dialog of "Rename From Pattern..." and "Tags From Pattern...": a pattern (the
// last ones used at hand), for names the character that replaces what a name cannot
// hold, and a preview of what OK would do to each selected file, with the files that
// would be left alone marked and the reason given. The window works the preview out;
// the dialog only shows it.

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace brindle {

class PatternDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Rename, Tags };
    struct Row {
        enum class Mark { Change, Same, LeftAlone };
        QStringList cells;
        Mark mark = Mark::Change;
        QString note;
    };
    struct Preview {
        QStringList headers; // without the note column
        QList<Row> rows;
        QString problem; // the pattern cannot be used: why
        int changes = 0; // files OK would change
    };
    using PreviewFunction = std::function<Preview(const QString& pattern, const QString& replacement)>;

    PatternDialog(Mode mode, const QStringList& recentPatterns, const QString& replacement, PreviewFunction preview,
                  QWidget* parent);

    QString pattern() const;
    QString replacement() const;
    // Works the preview out for the pattern as it is now (typing waits a moment first).
    void refresh();

    static QString placeholderHelp();

private:
    Mode mode_;
    PreviewFunction preview_;
    QComboBox* cmbPattern = nullptr;
    QLineEdit* txtReplacement = nullptr;
    QLabel* lblProblem = nullptr;
    QLabel* lblSummary = nullptr;
    QTableWidget* tblPreview = nullptr;
    QPushButton* ok_ = nullptr;
    QTimer* typing_ = nullptr;
};

} // namespace brindle
