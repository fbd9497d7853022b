#include "app/ProgramIcon.h"
#include "tests/support/TestApp.h"

#include <gtest/gtest.h>

#include <QPixmap>

namespace {

// The built-in icon must offer every installed PNG size unscaled, so that a
// desktop without the installed theme still shows a sharp icon.
TEST(ProgramIcon, BuiltInIconHoldsEverySizeUnscaled) {
    vorda::test::EnsureApplication();
    const QIcon icon = vorda::BuiltInIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int n : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(sizes.contains(QSize(n, n)));
        const QImage image = icon.pixmap(QSize(n, n)).toImage();
        ASSERT_EQ(image.size(), QSize(n, n));
        // The dial sits in the middle: an empty or wrong file leaves it clear.
        EXPECT_GT(qAlpha(image.pixel(n / 2, n / 3)), 200);
    }
}

} // namespace
