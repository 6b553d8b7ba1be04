#pragma once
// Editors for the fields that hold several values (album art, artist URLs, commercial
// URLs): one value shown at a time, a "position/count" counter and image buttons for
// previous, next (add at the end) and delete.

#include "tag/MultiFrameData.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;

namespace brindle {

// A flat button that draws its image by key: "prev", "previ", "next", "add", "addi",
// "del", "deli"; a key ending in "i" is drawn greyed. Clicks come on the release of
// the left button inside the button, as for every QAbstractButton.
class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);
    void setImageKey(const QString& key);
    QString imageKey() const { return key_; }
    QSize sizeHint() const override;

    // The image of a key at a size, as the button draws it.
    static QImage drawImage(const QString& key, int size);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString key_ = QStringLiteral("previ");
};

// The album-art display: the picture fitted and centred on black, the workspace
// colour while empty. The picture itself is the child label imgArt.
class ArtView : public QFrame {
    Q_OBJECT
public:
    explicit ArtView(QWidget* parent = nullptr);
    void showImage(const QImage& image);
    void clearImage();
    QLabel* imageLabel() const { return imgArt_; }
    const QImage& image() const { return image_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fit();
    QLabel* imgArt_ = nullptr;
    QImage image_;
};

class MultiValueEditor {
public:
    enum class Kind { Url, Art };

    // Url editor: display is the text box. Art editor: call setArtControls as well.
    MultiValueEditor(Kind kind, QString fieldName, QLabel* counter, ImageButton* prev, ImageButton* next,
                     ImageButton* del);
    void setUrlBox(QLineEdit* box) { urlBox_ = box; }
    void setArtControls(ArtView* picArt, QLabel* lblBrowse, QComboBox* cmbImageType, QComboBox* cmbPictureType);

    // Fills the editor from a tag's list. For album art the list is kept: deleting a
    // picture removes it from that list too.
    void LoadMultiValueEditor(const std::shared_ptr<MultiFrameData>& source, int tagRevision);
    // internalForm: acts whenever the position is at least 1 (used by delete).
    void StepBack(bool internalForm = false);
    void StepForward();
    void DeleteCurrentValue();
    // Text typed into the URL box goes into the current entry, so that it is saved.
    void StoreTypedUrl(const QString& text);

    Kind kind() const { return kind_; }
    int Position() const { return position_; }
    int Count() const { return count_; }
    const QStringList& Urls() const { return urls_; }
    const QList<QByteArray>& ImageData() const { return images_; }
    const QStringList& ImageTypes() const { return imageTypes_; }
    const QList<int>& PictureTypes() const { return pictureTypes_; }
    const QList<int>& SourceIndexes() const { return sourceIndexes_; }
    const std::shared_ptr<MultiFrameData>& PictureList() const { return pictureList_; }
    int TagRevision() const { return tagRevision_; }
    // The user picked another picture type for the shown picture. Type 1 (32 x 32 file
    // icon) stays only for a 32 x 32 picture held as PNG; otherwise it becomes 2.
    void SetCurrentPictureType(int pictureType);
    // The user picked another image type (an entry of cmbImageType) for the shown
    // picture; it is converted when the files are written.
    void SetCurrentImageType(int index);

    // A new image for the editor's current place: appended while the empty slot is
    // shown, otherwise it replaces the shown picture. typeText names the image data's
    // format for the editor's tag revision.
    void StorePicture(const QString& typeText, const QImage& image, const QByteArray& data);
    void AppendPicture(const QString& typeText, int pictureType, const QByteArray& data);
    // Brings every picture into the picture list in its chosen image and picture type.
    // A picture whose type was changed is converted once; later calls reuse the result.
    void RebuildPictureList();
    // The rebuilt pictures as a list for a tag of another revision: a copy of the
    // picture list, with entries rewritten where revision 2's three-letter formats and
    // MIME types differ. Entries that cannot be given in that form are left out.
    std::shared_ptr<MultiFrameData> PictureListFor(int tagRevision) const;
    // Whether a picture is shown (not the empty slot).
    bool ShowsPicture() const;
    // The image-type entry of PNG: the list holds four types for revision 3 and 4
    // tags, two for revision 2.
    int pngEntry() const;

private:
    int valueCount() const;
    bool valueEmpty(int position) const;
    void setButton(ImageButton* b, const char* key);
    void showPosition(int p);
    void showEmptySlot();
    void updateCounter();
    void fitImageTypeCombo();
    int jpegEntry() const;
    QString imageTypeForEntry(int index) const;
    // Adds a picture's entry to the picture list; its index, or 0 when it has none.
    std::int32_t addEntry(const QString& typeText, int pictureType, const QByteArray& data);

    Kind kind_;
    QString name_;
    QLabel* counter_;
    ImageButton* prev_;
    ImageButton* next_;
    ImageButton* del_;
    QLineEdit* urlBox_ = nullptr;
    ArtView* picArt_ = nullptr;
    QLabel* lblBrowse_ = nullptr;
    QComboBox* cmbImageType_ = nullptr;
    QComboBox* cmbPictureType_ = nullptr;

    int position_ = 0;
    int count_ = 0;
    bool adding_ = true;
    bool showing_ = false; // set while the editor writes into the URL box itself
    QStringList urls_;
    QList<QByteArray> images_;
    QStringList imageTypes_;
    QList<int> pictureTypes_;
    QList<int> sourceIndexes_;
    std::shared_ptr<MultiFrameData> pictureList_;
    int tagRevision_ = 3;
};

// The 21 picture-type captions in their standard order.
QStringList PictureTypeEntries();

} // namespace brindle
