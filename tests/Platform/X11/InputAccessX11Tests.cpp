// Keyboard access on a real X server: granted where the server has XTEST (Xvfb has it), and the
// answer agrees with what the server lists.
#include "Platform/X11/InputAccess.h"
#include "Platform/X11/SyntheticKeys.h"

#include <gtest/gtest.h>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/Xlib.h>

TEST(InputAccessX11, GrantedExactlyWhenTheServerListsXTest) {
    Display* display = X11Test::display();
    ASSERT_NE(display, nullptr) << "These tests need an X server (QT_QPA_PLATFORM=xcb).";
    int count = 0;
    char** names = XListExtensions(display, &count);
    bool listed = false;
    for (int i = 0; i < count; ++i) listed = listed || QByteArray(names[i]) == "XTEST";
    XFreeExtensionList(names);

    X11InputAccess access;
    EXPECT_EQ(access.session(), InputAccess::Session::x11);
    EXPECT_EQ(access.isGranted(), listed);
    EXPECT_EQ(access.isGranted(), SyntheticKeys::shared().isAvailable());
    // Asked again (every second while the welcome window is open): the same answer.
    for (int i = 0; i < 100; ++i) ASSERT_EQ(access.isGranted(), listed);
    EXPECT_EQ(&InputAccess::shared(), &InputAccess::shared());
}
