#pragma once
// The main window: folder line, file list, editor pages and the bottom bar. It reaches
// the desktop only through the platform services it is given, so tests drive it with
// fakes.

#include "EditorFields.h"
#include "FileListModel.h"
#include "modMultidata.h"
#include "platform/Platform.h"
#include "tools/FileTools.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <QByteArray>
#include <QPersistentModelIndex>
#include <QPointer>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
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
struct BatchControl;
struct BatchValues;
struct PlannedRename;
struct RenameResult;
class RenameSystem;
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
    // The smallest size at which every control is whole and none overlaps another:
    // the stored size is clamped to it and the window never gets smaller.
    QSize LayoutMinimumSize() const;

    // Folder scan and list.
    void Command1_Click(); // browse for a folder
    // Enter in the folder line: that folder is listed if it can be, else a message.
    void Text1_Enter();
    // Lists a folder. Listing the folder already shown again keeps the user's place:
    // the same files selected, the same file current and the scroll position.
    void ScanFolder(const QString& folder);
    // Messages of the scan (for example, files it found in need of repair), shown in
    // one notice when there are any.
    void ShowScanNotes(const QStringList& notes);
    void SetEditorEnabled(bool enabled);
    void LoadSelectedFile();

    // Saving: the apply pass over the selected files and the "&Apply Tags" command.
    void ApplyTags();
    void chkAllTags_Click();
    // Shows and clears the files the last passes could not write, with the reason,
    // once a command ends.
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
    // File names from tags and tags from file names by a pattern, with a preview
    // (PatternDialog.cpp).
    void cmdRenPattern_Click();  // "Rename From Pattern..."
    void cmdTagsPattern_Click(); // "Tags From Pattern..."
    void runPatternCommand(bool rename);
    // Takes the last rename batch back ("Undo Rename", Ctrl+Z in the list).
    void UndoRenames();
    bool CanUndoRenames() const { return !undoRenames_.isEmpty(); }
    // The system calls of the rename batches: tests put in one that fails or waits.
    void setRenameSystem(RenameSystem& sys) { renameSystem_ = &sys; }

    // The folder whose files are listed (the folder line may hold other text).
    QString CurrentFolder() const { return listedFolder_; }
    // Whether the list holds the files of the folder's subfolders too ("Include
    // subfolders"; frmMainFilter.cpp), and the filter typed above the list.
    bool IncludesSubfolders() const { return subfolders_; }
    void SetIncludeSubfolders(bool on);
    void SetFilterText(const QString& text);
    // The file the editor shows, for people; EditorPath() is its path as bytes.
    QString CurrentFilePath() const;
    const QByteArray& EditorPath() const { return editorPath_; }
    // Whether the album-art page was changed since its file was loaded.
    bool ArtChanged() const { return artChanged_; }
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
    // Building (frmMainBuild.cpp): every widget is made once and kept as a typed member.
    void buildWidgets();
    void buildEditorPages();
    QWidget* buildFieldPage(EditorPage page);
    QWidget* buildAlbumArtPage();
    QWidget* buildFilenamePage();
    QWidget* buildAudioLabels();
    QWidget* buildUrlEditorRow(QWidget* page, QLineEdit* edit, bool artist);
    void buildPopupMenu();
    void connectSignals();
    QWidget* makeFieldControl(const FieldSpec& def, QWidget* parent);
    const EditorField* fieldOf(std::u16string clsID3::*property) const;
    const EditorField* fieldOfRule(ApplyRule rule) const;

    // Subfolders and the filter (frmMainFilter.cpp).
    void buildFilterControls();
    void readFilterSettings();
    void writeFilterSettings();
    // Places the check box beside the folder line and the filter above the list, once
    // Form_Resize has placed the rest; the room they need beside the folder line.
    void placeFilterControls();
    int filterControlsWidthTwips() const;
    static constexpr int kFilterRowTwips = 405; // the filter line and the gap under it
    // The "Folder" column into or out of the list, with the width and place it had.
    void showFolderColumn(bool shown);
    void filterChanged(const QString& text);
    // The folders and names a scan lists: the folder alone, or its tree.
    struct ScannedFolder {
        QByteArray relative; // "" or "a/b"
        std::vector<std::string> names;
    };
    std::vector<ScannedFolder> listFiles(const QByteArray& nativeFolder, QStringList& notes) const;
    // A row's folder (relative) as the rename tools take names (NameText).
    QString toolFolder(int row) const;
    PlannedRename inRowFolder(int row, PlannedRename plan) const;

    // Settings and layout (frmMainLayout.cpp).
    void Timer1_Timer();
    void recordNormalGeometry();

    // The editor (frmMain.cpp): it belongs to one file, editorPath_.
    void loadEditor(const QByteArray& path, const clsID3& tag);
    void clearEditorFields();
    void resetMultiValueEditors();
    void setAudioLabels(const clsID3& tag, const QByteArray& path);
    // Hand edits tick their field's box; loading never does.
    void fieldEdited(const EditorField& f);
    void markArtChanged();
    void updateTabMarks();
    bool urlBoxEvent(QLineEdit* box, QEvent* e);

    // The list (frmMain.cpp).
    QByteArray rowPath(int row) const;
    QString rowName(int row) const { return model_->cell(row, 0); }
    // The row's name as the rename tools take it: every byte kept (NameText).
    QString toolName(int row) const;
    // The row's cells made current with its file; re-sorted or removed later where the
    // file changed or vanished, so a click in progress selects the row it was on.
    void refreshRowOf(const QByteArray& path, const clsID3* tag);
    void runPendingRefresh();
    struct ListPlace {
        QList<QByteArray> selected; // file names
        QByteArray current;
        int scroll = 0;
    };
    ListPlace listPlace() const;
    void restoreListPlace(const ListPlace& place);
    void chkSelAll_Click();
    void ListView1_Click();
    void ListView1_DblClick();
    void ListView1_MouseDown();
    void ListView1_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
    void setTotalLabel();
    int selectedRowCount() const;
    // True (after the message and the folder dialog) when the list has no rows.
    bool listIsEmptyAskFolder();
    int currentRow() const;
    void setCheck(QCheckBox* box, bool checked);

    // Saving (frmMainSaving.cpp).
    void connectSaving();
    bool savingEvent(QObject* watched, QEvent* e);
    // What the ticked fields and the album-art page would write.
    BatchValues batchValues() const;
    // Writes values into the selected files, with the progress bar and busy cursor.
    void runBatch(BatchValues values, const QList<int>& rows, bool progressOverAll);
    // Long work on count files beside the window: work(control) runs on a thread of its
    // own and returns how many files it dealt with, while the controls wait, showProgress
    // gets the files done on the window's thread and "Cancel" sets control's stop. A
    // stopped run ends with a notice of how many files were doneWord and how many not.
    int runBeside(int count, const char* doneWord, const std::function<void(int)>& showProgress,
                  const std::function<int(const BatchControl&)>& work);
    std::function<void(int)> batchProgress(int count); // the bar shows done of count
    void endProgress();                                // the track count back in its place
    void BrowseForImage();
    // An image file for the album art, chosen in the dialog or dropped on the page.
    void takeImageFile(const QString& path);
    void showArtMenu(const QPoint& globalPos);
    void copyArt();
    void pasteArt();

    // List operations and file-name tools (frmMainListTools.cpp).
    void connectListTools();
    bool listToolsEvent(QObject* watched, QEvent* e);
    QList<int> selectedRowsInOrder() const;
    // The selected rows; with none selected, notice is shown and the list is empty.
    QList<int> selectedRowsOrSay(const QString& notice);
    // The rows a command over the selection works on, brought up to date first. With
    // nothing listed it asks for a folder, with nothing selected it shows notice;
    // either way there are none.
    QList<int> selectionToWorkOn(const QString& notice);
    void moveCurrentRow(int step);
    void afterRowsRemoved();
    void finishRenames(const QStringList& failures);
    // Every rename batch of the window goes through here: it runs beside the window
    // and stops at "Cancel" (results of the files not reached are Stopped).
    // recordUndo: the batch becomes the one "Undo Rename" takes back.
    QList<RenameResult> renameAndRescan(const QList<PlannedRename>& plan, bool clearSelectAll, bool recordUndo = true);
    // Asks before a tool renames files the user did not select; false when refused.
    bool confirmFolderRenames(const QList<PlannedRename>& plan);
    void recordRenames(const QList<RenameResult>& results);
    void showDropMarker(int target);
    void endRowDrag();
    int dropTargetAt(const QPoint& viewportPos) const;
    void dragAutoScroll();

    Platform platform_;
    QString startFolder_;
    SortLocale sortLocale_;

    // Geometry in twips and the window state (0 normal, 2 maximized).
    int xPos_ = 0, yPos_ = 0, xSize_ = 0, ySize_ = 0, windowState_ = 0;
    bool loaded_ = false;
    bool unloaded_ = false;
    int sortKey_ = 0;
    int sortOrder_ = 0;
    bool loadingSelection_ = false;
    bool loadedOnPress_ = false;
    bool inPress_ = false;
    int currentTagRevision_ = 3;
    // Column widths as read, in twips: written back unchanged unless the user resized.
    std::array<double, kListColumnCount> columnTwips_{};

    QString listedFolder_; // the folder of the rows
    QByteArray listedFolderBytes_;
    QByteArray editorPath_; // the file the editor shows
    bool loadingEditor_ = false;
    bool artChanged_ = false;
    QByteArray pendingRefresh_; // a row to bring up to date once the click has ended
    bool pendingRefreshSet_ = false;
    std::vector<std::u16string> pendingCells_; // empty: the file is gone

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
    QCheckBox* chkAutTrack = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdLyrics = nullptr;
    QPushButton* cmdFreedb = nullptr;
    QComboBox* cmbGenre = nullptr;
    QComboBox* cmbKey = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdDelTags = nullptr;
    QMenu* mnuPopup = nullptr;
    QMenu* mnuArt = nullptr;
    QAction* mnuArtCopy = nullptr;
    QAction* mnuArtPaste = nullptr;
    ArtView* picArt = nullptr;
    QLabel* lblBrowse = nullptr;
    QComboBox* cmbImageType = nullptr;
    QComboBox* cmbPictureType = nullptr;
    QTimer* Timer1 = nullptr;

    std::vector<EditorField> fields_; // one per row of kFieldSpecs, in its order
    const EditorField* title_ = nullptr;
    const EditorField* artist_ = nullptr;
    const EditorField* album_ = nullptr;
    const EditorField* track_ = nullptr;
    const EditorField* tracksTotal_ = nullptr;
    QList<QLineEdit*> urlBoxes_;
    QList<QObject*> enterFields_; // where Enter applies the tags
    QList<QObject*> artControls_; // picArt, imgArt, lblBrowse
    std::unique_ptr<MultiValueEditor> artEditor_;
    std::unique_ptr<MultiValueEditor> artistUrlEditor_;
    std::unique_ptr<MultiValueEditor> commercialEditor_;

    struct AudioLabels {
        QLabel *version = nullptr, *channel = nullptr, *bitrate = nullptr, *type = nullptr, *samplingRate = nullptr,
               *frameSamples = nullptr, *frameSize = nullptr, *genre = nullptr, *genreId = nullptr, *size = nullptr,
               *path = nullptr;
    } audio_;
    struct ListTools {
        QPushButton *renFile = nullptr, *renTitle = nullptr, *editFilename = nullptr, *clean = nullptr,
                    *removeNumbers = nullptr, *autoNumber = nullptr;
    } tools_;
    struct PopupItems {
        QAction *play = nullptr, *moveUp = nullptr, *moveDown = nullptr, *rename = nullptr, *clean = nullptr,
                *title4File = nullptr, *file4Title = nullptr, *undoRename = nullptr, *copy1 = nullptr, *copy = nullptr,
                *remove = nullptr, *del = nullptr;
    } popup_;

    // Row dragging: the source row, where the press was, and whether the pointer has
    // moved far enough to be a drag.
    QPersistentModelIndex dragSource_;
    QPoint dragStart_;
    bool dragging_ = false;
    QPoint dragPos_;
    QWidget* dropMarker_ = nullptr;
    QTimer* dragScrollTimer_ = nullptr;

    QStringList writeFailures_;
    // A batch runs beside the window: the controls wait, "Cancel" stops it between files.
    QPushButton* cmdCancel = nullptr;
    std::atomic<bool> stopBatch_{false};
    bool batchRunning_ = false;
    bool closeAfterBatch_ = false;
    QPointer<QWidget> focusBeforeBusy_;
    void setBusy(bool busy);
    // The last batch's renames backwards (name now as oldName, name before as newName),
    // each in its folder below the listed one.
    QList<PlannedRename> undoRenames_;

    QPushButton* cmdRenPattern = nullptr;
    QPushButton* cmdTagsPattern = nullptr;
    QCheckBox* chkSubfolders = nullptr;
    QLineEdit* txtFilter = nullptr;
    QLabel* lblFilter = nullptr;
    bool subfolders_ = false;
    double folderTwips_ = 0;
    int folderPos_ = 0;
    RenameSystem* renameSystem_ = nullptr; // the real one when null
};

// The fixed entries of the genre and key drop-down lists.
QStringList GenreListEntries();
QStringList KeyListEntries();
// A file length for people: bytes below 1 KB, then KB, MB ... with two decimals.
QString FormatFileSize(double size);
// "Bit Rate: " and the rate in whole kbit/s, " kbps".
QString BitRateLabel(double bitsPerSecond);

} // namespace brindle
