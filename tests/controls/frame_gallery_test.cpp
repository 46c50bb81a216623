// The gallery is written as a PNG, and a path that cannot be written is reported.
#include "app/gui/frame_gallery.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(FrameGallery, WritesAPngAndReportsUnwritablePaths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("gallery.png"));
    QString error;
    ASSERT_TRUE(saveFrameGallery(path, &error)) << error.toStdString();
    const QImage written(path, "PNG");
    EXPECT_FALSE(written.isNull());
    EXPECT_GT(written.width(), 1000);
    EXPECT_GT(written.height(), 4000);

    const QString missing = dir.filePath(QStringLiteral("no/such/folder/gallery.png"));
    EXPECT_FALSE(saveFrameGallery(missing, &error));
    EXPECT_TRUE(error.contains(missing));
}

}  // namespace
}  // namespace tav
