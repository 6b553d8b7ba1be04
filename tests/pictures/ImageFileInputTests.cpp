// An image file taken as a picture: the signature first, then the extension, and a
// decode in any case. The window and brindle-cli both take image files this way.
#include "ImageFactory.h"

#include "pictures/ImageFileInput.h"
#include "pictures/modImageType.h"

#include <gtest/gtest.h>

using namespace brindle;

TEST(TakeImageFile, TheExtensionTypesWhatTheSignatureDoesNot)
{
    // A camera JPEG (EXIF, no JFIF) and a BMP whose last byte is not 0 have no
    // recognised signature; their extension names them.
    auto in = TakeImageFile(u"/photos/IMG_0001.JPG", testimg::exifJpeg(8, 8), 3);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->type, "image/jpeg");
    EXPECT_EQ(in->extensionEntry, 2);
    EXPECT_EQ(in->detectedEntry, -1);
    QImage white(4, 2, QImage::Format_RGB32); // 12-byte rows: no padding
    white.fill(Qt::white);
    const QByteArray bmp = testimg::encode(white, "BMP");
    ASSERT_NE(bmp.back(), '\0');
    in = TakeImageFile(u"scan.bmp", bmp, 4);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->type, "image/bmp");
    EXPECT_EQ(in->data, bmp);
    // Without a telling extension the type stays empty; the entry builder then names it.
    in = TakeImageFile(u"cover", testimg::exifJpeg(8, 8), 3);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->type, "");
    EXPECT_EQ(in->extensionEntry, -1);
}

TEST(TakeImageFile, TheSignatureWinsAndRevision2GetsPngOrJpg)
{
    auto in = TakeImageFile(u"cover.jpg", testimg::png(4, 4), 3);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->type, "image/png");
    EXPECT_EQ(in->extensionEntry, 2);
    EXPECT_EQ(in->detectedEntry, 3);

    in = TakeImageFile(u"anim.GIF", testimg::gif(4, 4), 2);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->type, "PNG");
    EXPECT_EQ(modImageType::DetectImageKind(in->data), ImageKind::PNG);
    EXPECT_EQ(in->picture.image().size(), QSize(4, 4));
}

TEST(TakeImageFile, WhatDoesNotDecodeIsRefused)
{
    EXPECT_FALSE(TakeImageFile(u"notes.png", QByteArray("not an image at all"), 3));
    QByteArray cut = testimg::png(16, 16);
    cut.truncate(cut.size() / 2);
    EXPECT_FALSE(TakeImageFile(u"cut.png", cut, 3));
}
