// The program's pictures at the scales of common screens.
#include "Icons.h"

#include <QPixmap>
#include <gtest/gtest.h>

namespace {

TEST(Icons, ArePaintedForEveryScaleOfTheScreen)
{
    struct TImageList {
        QList<QIcon> Images;
        int Size;
    };
    const TImageList lists[] = {{CommandImages(), 16}, {AccountImages(), 32}, {{ProgramIcon()}, 32}};
    for (const TImageList& list : lists) {
        for (const QIcon& icon : list.Images) {
            if (icon.isNull())   // the unused place in the list
                continue;
            for (qreal scale : {1.0, 1.5, 2.0}) {
                const QPixmap pixmap = icon.pixmap(QSize(list.Size, list.Size), scale);
                const int pixels = qRound(list.Size * scale);
                EXPECT_EQ(pixmap.size(), QSize(pixels, pixels)) << scale;
                EXPECT_EQ(pixmap.devicePixelRatio(), scale);
                EXPECT_FALSE(pixmap.toImage().allGray()) << "nothing painted at " << scale;
            }
            const QImage disabled = icon.pixmap(QSize(list.Size, list.Size), 2.0, QIcon::Disabled).toImage();
            EXPECT_EQ(disabled.size(), QSize(2 * list.Size, 2 * list.Size));
        }
    }
}

} // namespace
