#pragma once
// The main window: folder line, file list, editor pages and the bottom bar. It reaches
// the desktop only through the platform services it is given, so tests drive it with
// fakes.

#include "FileListModel.h"
#include "modMultidata.h"
#include "platform/Platform.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QTreeView;

namespace brindle {

class XP_ProgressBar;
struct PlannedRename;
class clsID3;

class frmMain : public QWidget {
    Q_OBJECT
public:
    // startFolder, when given, is listed instead of the stored folder for this run.
    explicit frmMain(Platform platform, const QString& startFolder = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: settings, geometry, columns, sort order, folder; arms Timer1.
    void Form_Load();
    // Writes every setting back.
    void Form_Unload();
    void Form_Resize();

    // Folder scan and list.
    void Command1_Click(); // browse for a folder
    void ScanFolder(const QString& folder);
    void SetEditorEnabled(bool enabled);
    void LoadSelectedFile();

    // Saving: the apply pass over the selected rows and the "&Apply Tags" command.
    void ApplyCheckedFields();
    void ApplyTags();
    void chkAllTags_Click();
    // Files the last passes could not write, with the reason; shown and cleared by
    // reportWriteFailures() once a command ends.
    const QStringList& WriteFailures() const { return writeFailures_; }
    void reportWriteFailures();
    // The progress bar after `done` files: done x (100 / all rows), as the apply pass
    // and "Use Filename For Title" show it.
    void advanceProgress(int done);

    // Sorting.
    void ShowSortIcon();
    void SortList(int columnNumber); // 1-based
    int SortKey() const { return sortKey_; }
    int SortOrder() const { return sortOrder_; }
    // A header click: sort by that column, or reverse the order on the sort column.
    void SortByColumnClick(int column);

    void OpenHelp();
    void OpenLyrics();
    void OpenFreedb();

    // List operations (frmMainListTools.cpp). Each works on the list as the user sees
    // it; files that could not be changed are reported in one notice after the run.
    void cmdUp_Click();
    void cmdDown_Click();
    void mnuRemove_Click();
    void mnuDelete_Click();
    void cmdDelTags_Click();
    void mnuCopy1_Click(); // the current row's information, to the clipboard
    void cmdCopy_Click();  // every row's information and the total
    void SetCellTooltips();
    // Drag and drop of rows: row `source` goes in front of row `target`, or to the end
    // when `target` is the row count.
    void DropRow(int source, int target);
    // File-name tools.
    void cmdRenFile_Click();  // "Use Title For Filename"
    void cmdRenTitle_Click(); // "Use Filename For Title"
    void cmdEditFilename_Click();
    // The end of an in-place edit of a row's file name with the text typed.
    void ListView1_AfterLabelEdit(int row, const QString& text);
    void cmdClean_Click();
    void Command4_Click(); // "Remove Leading Numbers"
    void Command6_Click(); // "Auto Number Filenames"

    QString CurrentFolder() const;
    QString CurrentFilePath() const { return currentFilePath_; }
    int CurrentTagRevision() const { return currentTagRevision_; }
    FileListModel* ListModel() const { return model_; }
    // The multi-value editors: album art, artist URLs, commercial-information URLs.
    MultiValueEditor& ArtEditor() { return *artEditor_; }
    MultiValueEditor& ArtistURLEditor() { return *artistUrlEditor_; }
    MultiValueEditor& CommercialInfoEditor() { return *commercialEditor_; }
    Platform& platform() { return platform_; }

    // Where the help page is looked for, in order.
    static QStringList helpFileCandidates();
    static QUrl lyricsSearchUrl(const QString& artist, const QString& title);
    static QUrl cdDatabaseSearchUrl(const QString& artist, const QString& album);

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Wiring and events of the saving commands and album-art input (frmMainSaving.cpp).
    void connectSaving();
    bool savingEvent(QObject* watched, QEvent* e);
    // The per-file part of the apply pass over the selected rows in list order. The
    // hooks run around each file's write (afterWrite gets the files done so far).
    void applyToSelectedRows(const std::function<void()>& beforeWrite,
                             const std::function<void(int)>& afterWrite);
    void BrowseForImage();
    // An image file for the album art, chosen in the dialog or dropped on the page.
    void takeImageFile(const QString& path);
    void showArtMenu(const QPoint& globalPos);
    void copyArt();
    void pasteArt();
    QMenu* mnuArt = nullptr;
    QList<QObject*> enterFields_; // where Enter applies the tags
    QList<QObject*> artControls_; // picArt, imgArt, lblBrowse
    // Wiring and events of the list operations and file-name tools (frmMainListTools.cpp).
    void connectListTools();
    bool listToolsEvent(QObject* watched, QEvent* e);
    QList<int> selectedRowsInOrder() const;
    void moveCurrentRow(int step);
    void afterRowsRemoved();
    void finishRenames(const QStringList& failures);
    void renameAndRescan(const QList<PlannedRename>& plan, bool clearSelectAll);
    void showDropMarker(int target);
    void endRowDrag();
    int dropTargetAt(const QPoint& viewportPos) const;
    void dragAutoScroll();
    // Row dragging: the source row, where the press was, and whether the pointer has
    // moved far enough to be a drag.
    QPersistentModelIndex dragSource_;
    QPoint dragStart_;
    bool dragging_ = false;
    QPoint dragPos_;
    QWidget* dropMarker_ = nullptr;
    QTimer* dragScrollTimer_ = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdDelTags = nullptr;

    void buildWidgets();
    void buildEditorPages();
    QWidget* buildFieldPage(const char* const (*fields)[3], int count);
    QWidget* buildAlbumArtPage();
    QWidget* buildFilenamePage();
    QWidget* buildAudioLabels();
    QWidget* buildUrlEditorRow(QWidget* page, QWidget* edit, const char* field);
    void setAudioLabels(const clsID3& tag, const QString& path);
    void resetMultiValueEditors();
    bool urlBoxEvent(QLineEdit* box, QEvent* e);
    void buildPopupMenu();
    void connectSignals();
    void Timer1_Timer();
    void chkSelAll_Click();
    void ListView1_Click();
    void ListView1_DblClick();
    void ListView1_MouseDown();
    void ListView1_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
    void recordNormalGeometry();
    void setTotalLabel();
    int selectedRowCount() const;
    // True (after the message and the folder dialog) when the list has no rows.
    bool listIsEmptyAskFolder();
    int currentRow() const;
    void clearEditorFields();
    void setCheck(QCheckBox* box, bool checked);
    QWidget* field(const char* name) const;

    Platform platform_;
    QString startFolder_;
    SortLocale sortLocale_;

    // Geometry in twips and the window state (0 normal, 2 maximized).
    int xPos_ = 0, yPos_ = 0, xSize_ = 0, ySize_ = 0, windowState_ = 0;
    bool loaded_ = false;
    bool unloaded_ = false;
    int sortKey_ = 0;
    int sortOrder_ = 0;
    bool resorting_ = false;
    bool loadingSelection_ = false;
    bool loadedOnPress_ = false;
    int currentTagRevision_ = 3;
    QString currentFilePath_;
    // Column widths as read, in twips: written back unchanged unless the user resized.
    std::array<double, kListColumnCount> columnTwips_{};

    // Widgets, named as their objectName.
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command5 = nullptr;
    QTreeView* ListView1 = nullptr;
    FileListModel* model_ = nullptr;
    QFrame* Frame1 = nullptr;
    QTabWidget* TabStrip1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* lblTotal = nullptr;
    QLabel* lblTitle = nullptr;
    XP_ProgressBar* XP_ProgressBarOlive = nullptr;
    QRadioButton* optName = nullptr;
    QRadioButton* optTrack = nullptr;
    QCheckBox* chkSelAll = nullptr;
    QCheckBox* chkAllTags = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdLyrics = nullptr;
    QPushButton* cmdFreedb = nullptr;
    QComboBox* cmbGenre = nullptr;
    QComboBox* cmbKey = nullptr;
    QMenu* mnuPopup = nullptr;
    std::unique_ptr<MultiValueEditor> artEditor_;
    std::unique_ptr<MultiValueEditor> artistUrlEditor_;
    std::unique_ptr<MultiValueEditor> commercialEditor_;
    QList<QLineEdit*> urlBoxes_;
    QTimer* Timer1 = nullptr;

    QStringList writeFailures_;
};

// The fixed entries of the genre and key drop-down lists.
QStringList GenreListEntries();
QStringList KeyListEntries();
// A file length for people: bytes below 1 KB, then KB, MB ... with two decimals.
QString FormatFileSize(double size);
// "Bit Rate: " and the rate in whole kbit/s, " kbps".
QString BitRateLabel(double bitsPerSecond);

} // namespace brindle
