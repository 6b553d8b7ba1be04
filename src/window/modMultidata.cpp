#include "modMultidata.h"

#include "WindowShared.h"

#include "pictures/APicDecoder.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"
#include "pictures/Picture.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace brindle {

namespace {

const QString kArtTooltip = QStringLiteral("Click here to browse... (this will change the current image)");

bool onlyNuls(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c == '\0'; });
}

} // namespace

const GDIPlusCandy& ImageCodecs()
{
    static const GDIPlusCandy candy;
    return candy;
}

QStringList PictureTypeEntries()
{
    QStringList out;
    for (int i = 0; i <= 20; ++i)
        out << modImageType::PictureTypeName(i);
    return out;
}

// ---------------------------------------------------------------- ImageButton

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
}

void ImageButton::setImageKey(const QString& key)
{
    if (key_ == key)
        return;
    key_ = key;
    update();
}

QSize ImageButton::sizeHint() const { return {22, 22}; }

QImage ImageButton::drawImage(const QString& key, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    const bool inactive = key.endsWith(QLatin1Char('i'));
    const QString shape = inactive ? key.chopped(1) : key;
    QColor colour = QColor(0x2b, 0x57, 0x97); // prev, next
    if (shape == QLatin1String("add"))
        colour = QColor(0x1e, 0x8a, 0x3c);
    else if (shape == QLatin1String("del"))
        colour = QColor(0xc0, 0x2b, 0x2b);
    if (inactive)
        colour = QColor(0xb4, 0xb4, 0xb4);

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal m = s * 0.2; // margin
    if (shape == QLatin1String("prev") || shape == QLatin1String("next")) {
        QPainterPath tri;
        if (shape == QLatin1String("prev")) {
            tri.moveTo(s - m, m);
            tri.lineTo(m, s / 2);
            tri.lineTo(s - m, s - m);
        } else {
            tri.moveTo(m, m);
            tri.lineTo(s - m, s / 2);
            tri.lineTo(m, s - m);
        }
        tri.closeSubpath();
        p.fillPath(tri, colour);
    } else {
        QPen pen(colour, std::max<qreal>(2.0, s * 0.16), Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        if (shape == QLatin1String("add")) {
            p.drawLine(QPointF(s / 2, m), QPointF(s / 2, s - m));
            p.drawLine(QPointF(m, s / 2), QPointF(s - m, s / 2));
        } else {
            p.drawLine(QPointF(m, m), QPointF(s - m, s - m));
            p.drawLine(QPointF(s - m, m), QPointF(m, s - m));
        }
    }
    return img;
}

void ImageButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int side = std::min(width(), height());
    if (isDown() && !key_.endsWith(QLatin1Char('i')))
        p.fillRect(rect(), palette().color(QPalette::Midlight));
    const QImage img = drawImage(key_, std::max(8, side - 4));
    p.drawImage(QPoint((width() - img.width()) / 2, (height() - img.height()) / 2), img);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// ---------------------------------------------------------------- ArtView

ArtView::ArtView(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    imgArt_ = new QLabel(this);
    imgArt_->setObjectName(QStringLiteral("imgArt"));
    imgArt_->hide();
    clearImage();
}

void ArtView::showImage(const QImage& image)
{
    image_ = image;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    imgArt_->show();
    fit();
}

void ArtView::clearImage()
{
    image_ = QImage();
    imgArt_->clear();
    imgArt_->hide();
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Dark));
    setPalette(pal);
}

void ArtView::resizeEvent(QResizeEvent* e)
{
    QFrame::resizeEvent(e);
    fit();
}

void ArtView::fit()
{
    if (image_.isNull())
        return;
    const QRect inner = contentsRect();
    const QSize size = image_.size().scaled(inner.size(), Qt::KeepAspectRatio);
    if (size.isEmpty())
        return;
    imgArt_->setGeometry(inner.x() + (inner.width() - size.width()) / 2,
                         inner.y() + (inner.height() - size.height()) / 2, size.width(), size.height());
    imgArt_->setPixmap(QPixmap::fromImage(image_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

// ---------------------------------------------------------------- MultiValueEditor

MultiValueEditor::MultiValueEditor(Kind kind, QString fieldName, QLabel* counter, ImageButton* prev, ImageButton* next,
                                   ImageButton* del)
    : kind_(kind), name_(std::move(fieldName)), counter_(counter), prev_(prev), next_(next), del_(del)
{
    setButton(prev_, "previ");
    setButton(next_, "addi");
    setButton(del_, "deli");
    updateCounter();
}

void MultiValueEditor::setArtControls(ArtView* picArt, QLabel* lblBrowse, QComboBox* cmbImageType,
                                      QComboBox* cmbPictureType)
{
    picArt_ = picArt;
    lblBrowse_ = lblBrowse;
    cmbImageType_ = cmbImageType;
    cmbPictureType_ = cmbPictureType;
    fitImageTypeCombo();
    showEmptySlot();
}

int MultiValueEditor::valueCount() const
{
    return static_cast<int>(kind_ == Kind::Url ? urls_.size() : images_.size());
}

bool MultiValueEditor::valueEmpty(int position) const
{
    if (position < 1 || position > valueCount())
        return true;
    return kind_ == Kind::Url ? urls_[position - 1].isEmpty() : images_[position - 1].isEmpty();
}

void MultiValueEditor::setButton(ImageButton* b, const char* key)
{
    const QString k = QLatin1String(key);
    b->setImageKey(k);
    QString tip;
    if (k == QLatin1String("prev"))
        tip = QStringLiteral("Previous ");
    else if (k == QLatin1String("next"))
        tip = QStringLiteral("Next ");
    else if (k == QLatin1String("add"))
        tip = QStringLiteral("Add ");
    else if (k == QLatin1String("del"))
        tip = QStringLiteral("Delete ");
    b->setToolTip(tip.isEmpty() ? QString() : tip + name_);
}

void MultiValueEditor::updateCounter() { counter_->setText(QStringLiteral("%1/%2").arg(position_).arg(count_)); }

int MultiValueEditor::jpegEntry() const { return cmbImageType_ ? (cmbImageType_->count() / 4) * 2 : 0; }

void MultiValueEditor::fitImageTypeCombo()
{
    if (!cmbImageType_)
        return;
    // A file without an ID3v2 tag (revision 0) gets a 2.3 one, so it is offered the
    // four types of revision 3.
    const bool rev2 = modImageType::IsRevision2(tagRevision_);
    if (cmbImageType_->count() == 0)
        cmbImageType_->addItems({QStringLiteral("JPEG"), QStringLiteral("PNG")});
    if (cmbImageType_->count() == 2 && !rev2)
        cmbImageType_->insertItems(0, {QStringLiteral("BMP"), QStringLiteral("GIF")});
    else if (cmbImageType_->count() == 4 && rev2) {
        cmbImageType_->removeItem(0);
        cmbImageType_->removeItem(0);
    }
}

void MultiValueEditor::showPosition(int p)
{
    if (kind_ == Kind::Url) {
        showing_ = true;
        if (urlBox_)
            urlBox_->setText(p >= 1 && p <= urls_.size() ? urls_[p - 1] : QString());
        showing_ = false;
        return;
    }
    if (p < 1 || p > images_.size())
        return;
    cmbImageType_->setEnabled(true);
    cmbPictureType_->setEnabled(true);
    picArt_->showImage(ImageCodecs().DataToImage(images_[p - 1]).image());
    const int typeIndex = modImageType::ImageTypeIndex(imageTypes_[p - 1], tagRevision_);
    cmbImageType_->setCurrentIndex(typeIndex >= 0 && typeIndex < cmbImageType_->count() ? typeIndex : jpegEntry());
    cmbPictureType_->setCurrentIndex(pictureTypes_[p - 1]);
    lblBrowse_->hide();
    picArt_->setToolTip(kArtTooltip);
    picArt_->imageLabel()->setToolTip(kArtTooltip);
}

void MultiValueEditor::showEmptySlot()
{
    if (kind_ == Kind::Url) {
        showing_ = true;
        if (urlBox_)
            urlBox_->clear();
        showing_ = false;
        return;
    }
    cmbImageType_->setEnabled(false);
    cmbPictureType_->setEnabled(false);
    picArt_->clearImage();
    cmbImageType_->setCurrentIndex(jpegEntry());
    cmbPictureType_->setCurrentIndex(0);
    lblBrowse_->show();
    lblBrowse_->raise();
    picArt_->setToolTip(QString());
    picArt_->imageLabel()->setToolTip(QString());
}

void MultiValueEditor::LoadMultiValueEditor(const std::shared_ptr<MultiFrameData>& source, int tagRevision)
{
    urls_.clear();
    images_.clear();
    if (kind_ == Kind::Art) {
        pictureList_ = source;
        imageTypes_.clear();
        pictureTypes_.clear();
        sourceIndexes_.clear();
        tagRevision_ = tagRevision;
        fitImageTypeCombo();
    }
    const std::int32_t n = source ? source->Count() : 0;
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::string& entry = source->Item(i);
        if (entry.empty() || onlyNuls(entry))
            continue;
        if (kind_ == Kind::Url) {
            urls_ << QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
        } else if (auto pic = APicDecoder::DecodeImage(*source, i, tagRevision_)) {
            images_ << pic->OrigPicData;
            imageTypes_ << pic->MIMEType;
            pictureTypes_ << std::clamp(pic->PictureType, 0, 20);
            sourceIndexes_ << i;
        }
    }
    if (valueCount() > 0) {
        position_ = 1;
        count_ = valueCount();
        adding_ = count_ == 1 && valueEmpty(1);
        showPosition(1);
        setButton(next_, count_ < 2 ? "add" : "next");
        setButton(del_, valueEmpty(1) ? "deli" : "del");
    } else {
        position_ = 0;
        count_ = 0;
        adding_ = true;
        showEmptySlot();
        setButton(next_, "addi");
        setButton(del_, "deli");
    }
    setButton(prev_, "previ");
    updateCounter();
}

void MultiValueEditor::StepBack(bool internalForm)
{
    const bool acts = internalForm ? position_ >= 1 : (position_ >= 2 || (position_ >= 1 && adding_));
    if (!acts)
        return;
    if (position_ == count_) {
        setButton(del_, "del");
        if (!adding_) {
            --position_;
            setButton(next_, "next");
        } else {
            setButton(next_, "add");
            adding_ = false;
        }
    } else if (position_ < count_) {
        --position_;
    }
    if (position_ <= 1)
        setButton(prev_, "previ");
    if (position_ == 0) {
        showEmptySlot();
        adding_ = true;
    } else {
        showPosition(position_);
    }
    updateCounter();
}

void MultiValueEditor::StepForward()
{
    bool emptySlot = false;
    if (position_ < count_) {
        ++position_;
        if (position_ == count_)
            setButton(next_, "add");
    } else if (kind_ == Kind::Url) {
        if (!urlBox_ || urlBox_->text().isEmpty())
            return;
        urls_ << QString();
        count_ = valueCount();
        position_ = count_;
        adding_ = true;
        setButton(del_, "del");
    } else {
        if (!picArt_->imageLabel()->isVisibleTo(picArt_))
            return;
        adding_ = true;
        emptySlot = true;
        setButton(del_, "del");
    }
    setButton(prev_, "prev");
    if (emptySlot) {
        showEmptySlot();
        setButton(next_, "addi");
    } else {
        showPosition(position_);
    }
    updateCounter();
}

void MultiValueEditor::DeleteCurrentValue()
{
    if (count_ == 0)
        return;
    if (adding_) {
        StepBack(true);
        return;
    }
    if (position_ < 1 || position_ > valueCount())
        return;
    const int i = position_ - 1;
    if (kind_ == Kind::Url) {
        urls_.removeAt(i);
    } else {
        const int source = sourceIndexes_[i];
        images_.removeAt(i);
        imageTypes_.removeAt(i);
        pictureTypes_.removeAt(i);
        sourceIndexes_.removeAt(i);
        if (pictureList_ && source >= 1 && source <= pictureList_->Count()) {
            pictureList_->Remove(source);
            for (int& s : sourceIndexes_)
                if (s > source)
                    --s;
        }
    }
    count_ = valueCount();
    if (position_ > count_)
        position_ = count_;
    if (position_ > 0) {
        showPosition(position_);
    } else {
        showEmptySlot();
        adding_ = true;
    }
    if (position_ == count_)
        setButton(next_, position_ > 0 ? "add" : "addi");
    if (position_ <= 1) {
        setButton(prev_, "previ");
        if (count_ == 0)
            setButton(del_, "deli");
    }
    updateCounter();
}

void MultiValueEditor::StoreTypedUrl(const QString& text)
{
    if (kind_ != Kind::Url || showing_)
        return;
    if (position_ >= 1 && position_ <= urls_.size()) {
        urls_[position_ - 1] = text;
        setButton(del_, text.isEmpty() && count_ == 1 ? "deli" : "del");
        return;
    }
    if (text.isEmpty())
        return;
    // Typing into an empty editor starts its first entry.
    urls_ << text;
    count_ = valueCount();
    position_ = count_;
    adding_ = true;
    setButton(next_, "add");
    setButton(del_, "del");
    updateCounter();
}

bool MultiValueEditor::ShowsPicture() const
{
    return kind_ == Kind::Art && picArt_ && picArt_->imageLabel()->isVisibleTo(picArt_);
}

int MultiValueEditor::pngEntry() const { return cmbImageType_ ? (cmbImageType_->count() / 4) * 2 + 1 : 1; }

QString MultiValueEditor::imageTypeForEntry(int index) const
{
    static const char* const mime[] = {"image/bmp", "image/gif", "image/jpeg", "image/png"};
    static const char* const rev2[] = {"JPG", "PNG"};
    if (cmbImageType_ && cmbImageType_->count() == 2)
        return index >= 0 && index < 2 ? QLatin1String(rev2[index]) : QString();
    return index >= 0 && index < 4 ? QLatin1String(mime[index]) : QString();
}

void MultiValueEditor::SetCurrentPictureType(int pictureType)
{
    if (kind_ != Kind::Art || adding_ || position_ < 1 || position_ > pictureTypes_.size())
        return;
    if (pictureType < 0 || pictureType > 20)
        return;
    if (pictureType == 1) {
        // The file icon is a 32 x 32 PNG by definition; anything else is just an icon.
        const Picture shown(picArt_->image());
        const bool icon = shown.pixelWidth() == 32 && shown.pixelHeight() == 32 &&
                          cmbImageType_->currentIndex() == pngEntry();
        if (!icon) {
            pictureType = 2;
            cmbPictureType_->setCurrentIndex(2);
        }
    }
    pictureTypes_[position_ - 1] = pictureType;
}

void MultiValueEditor::SetCurrentImageType(int index)
{
    if (kind_ != Kind::Art || !cmbImageType_->isEnabled() || position_ < 1 || position_ > imageTypes_.size())
        return;
    imageTypes_[position_ - 1] = imageTypeForEntry(index);
    if (index != pngEntry() && pictureTypes_[position_ - 1] == 1) {
        cmbPictureType_->setCurrentIndex(2);
        pictureTypes_[position_ - 1] = 2;
    }
}

void MultiValueEditor::StorePicture(const QString& typeText, const QImage& image, const QByteArray& data)
{
    if (kind_ != Kind::Art)
        return;
    picArt_->setToolTip(kArtTooltip);
    picArt_->imageLabel()->setToolTip(kArtTooltip);
    picArt_->showImage(image);
    lblBrowse_->hide();
    int pictureType = cmbPictureType_->currentIndex();
    if (pictureType == 1) {
        const Picture shown(image);
        if (shown.pixelWidth() != 32 || shown.pixelHeight() != 32 ||
            modImageType::DetectImageKind(data) != ImageKind::PNG) {
            pictureType = 2;
            cmbPictureType_->setCurrentIndex(2);
        }
    }
    if (position_ == count_ && adding_) {
        adding_ = false;
        AppendPicture(typeText, pictureType, data);
        ++position_;
        count_ = valueCount();
        setButton(next_, "add");
        setButton(del_, "del");
    } else if (position_ > 0 && position_ <= images_.size()) {
        images_[position_ - 1] = data;
        imageTypes_[position_ - 1] = typeText;
        pictureTypes_[position_ - 1] = pictureType;
    }
    updateCounter();
}

void MultiValueEditor::AppendPicture(const QString& typeText, int pictureType, const QByteArray& data)
{
    imageTypes_ << (data.isEmpty() ? QString() : typeText);
    pictureTypes_ << (data.isEmpty() ? 0 : pictureType);
    images_ << data;
    sourceIndexes_ << addEntry(typeText, pictureType, data);
}

std::int32_t MultiValueEditor::addEntry(const QString& typeText, int pictureType, const QByteArray& data)
{
    if (!pictureList_)
        pictureList_ = std::make_shared<MultiFrameData>();
    // A picture that is not an image has no entry; the list keeps one entry per
    // distinct picture, as a tag may hold each picture only once.
    const auto entry = APicDecoder::BuildImageDataEntry(typeText, pictureType, data, tagRevision_);
    if (!entry)
        return 0;
    const std::int32_t before = pictureList_->Count();
    pictureList_->Add(*entry, std::nullopt, std::nullopt, true);
    if (pictureList_->Count() > before)
        return pictureList_->Count();
    for (std::int32_t i = 1; i <= before; ++i)
        if (pictureList_->Item(i) == *entry)
            return i;
    return 0;
}

void MultiValueEditor::RebuildPictureList()
{
    if (kind_ != Kind::Art)
        return;
    if (!pictureList_)
        pictureList_ = std::make_shared<MultiFrameData>();
    for (int i = 0; i < images_.size(); ++i) {
        const int source = sourceIndexes_[i];
        if (images_[i].isEmpty())
            continue;
        if (source < 1 || source > pictureList_->Count()) {
            sourceIndexes_[i] = addEntry(imageTypes_[i], pictureTypes_[i], images_[i]);
            continue;
        }
        const auto held = APicDecoder::DecodeImage(*pictureList_, source, tagRevision_);
        const QString heldType = held ? held->MIMEType : QString();
        if (heldType.compare(imageTypes_[i], Qt::CaseInsensitive) != 0) {
            const QByteArray converted = ImageCodecs().ImageToData(
                ImageCodecs().DataToImage(images_[i]), modImageType::FormatToMime(imageTypes_[i], tagRevision_));
            // The converted bytes become the held data, so that the next file of the
            // pass gets the same format instead of the original bytes again.
            if (!converted.isEmpty())
                images_[i] = converted;
        }
        APicDecoder::InsertImageData(*pictureList_, source, imageTypes_[i], pictureTypes_[i], images_[i], tagRevision_);
    }
}

namespace {

// An entry of one revision family rewritten for the other: three-letter formats in
// revision 2 tags, MIME types from revision 3 on. nullopt when the picture has no name
// in the target form.
std::optional<std::string> convertEntry(std::string_view entry, int fromRevision, int toRevision)
{
    const auto parsed = APicDecoder::ParsePictureEntry(entry, fromRevision);
    if (!parsed)
        return std::nullopt;
    QByteArray data = parsed->ImageData;
    QString name;
    if (parsed->IsLink) {
        name = QStringLiteral("-->");
    } else {
        ImageKind kind = modImageType::DetectImageKind(data);
        if (kind == ImageKind::Unsupported)
            kind = modImageType::MimeToImageKind(modImageType::FormatToMime(parsed->Format, fromRevision));
        if (modImageType::IsRevision2(toRevision)) {
            if (kind == ImageKind::BMP || kind == ImageKind::GIF) {
                data = ImageCodecs().ImageToData(ImageCodecs().DataToImage(data), QStringLiteral("image/png"));
                kind = data.isEmpty() ? ImageKind::Unsupported : ImageKind::PNG;
            }
            if (kind == ImageKind::Unsupported)
                return std::nullopt;
        }
        name = modImageType::ImageTypeName(kind, toRevision);
        if (kind == ImageKind::Unsupported)
            name = modImageType::FormatToMime(parsed->Format, fromRevision);
        if (name.isEmpty())
            return std::nullopt;
    }
    std::string out = name.toStdString();
    if (!modImageType::IsRevision2(toRevision))
        out.push_back('\0');
    out.push_back(static_cast<char>(parsed->PictureType));
    out.append(parsed->Description.constData(), static_cast<std::size_t>(parsed->Description.size()));
    const bool utf16 = parsed->Description.startsWith("\xFF\xFE") || parsed->Description.startsWith("\xFE\xFF");
    out.append(utf16 ? 2 : 1, '\0');
    out.append(data.constData(), static_cast<std::size_t>(data.size()));
    return out;
}

} // namespace

std::shared_ptr<MultiFrameData> MultiValueEditor::PictureListFor(int tagRevision) const
{
    auto list = std::make_shared<MultiFrameData>();
    if (!pictureList_)
        return list;
    if (modImageType::IsRevision2(tagRevision) == modImageType::IsRevision2(tagRevision_)) {
        *list = *pictureList_;
        return list;
    }
    for (std::int32_t i = 1; i <= pictureList_->Count(); ++i) {
        const std::string& entry = pictureList_->Item(i);
        if (entry.empty() || onlyNuls(entry))
            continue;
        if (auto converted = convertEntry(entry, tagRevision_, tagRevision))
            list->Add(std::move(*converted), std::nullopt, std::nullopt, true);
    }
    return list;
}

} // namespace brindle
