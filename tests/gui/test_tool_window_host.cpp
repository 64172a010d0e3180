// The tool-window host: one window of a kind at a time, recreated or reused as the kind
// asks, and every window closed when the project is replaced.
#include "editor/api/uToolWindowHost.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>

TEST(ToolWindowHost, RecreateClosesTheOpenWindowOfItsKindShowOrCreateReusesIt)
{
    TToolWindowHost host;
    int made = 0;
    const auto make = [&] {
        ++made;
        return new QWidget;
    };
    QPointer<QWidget> first = host.Recreate("terrain", make);
    QPointer<QWidget> second = host.Recreate("terrain", make);
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(host.Find("terrain"), second.data());

    QPointer<QWidget> ripper = host.ShowOrCreate("ripper", make);
    ripper->hide();
    EXPECT_EQ(host.ShowOrCreate("ripper", make), ripper.data());
    EXPECT_TRUE(ripper->isVisible());
    EXPECT_EQ(made, 3);

    // A window the user closed and freed is made again.
    delete ripper.data();
    EXPECT_EQ(host.Find("ripper"), nullptr);
    EXPECT_NE(host.ShowOrCreate("ripper", make), nullptr);
    EXPECT_EQ(made, 4);
}

TEST(ToolWindowHost, CloseAllFreesKindsAndTrackedWindows)
{
    TToolWindowHost host;
    QPointer<QWidget> kind = host.Recreate("camera", [] { return new QWidget; });
    QPointer<QWidget> tracked = new QWidget;
    host.Track(tracked);
    host.CloseAll();
    EXPECT_TRUE(kind.isNull());
    EXPECT_TRUE(tracked.isNull());
    EXPECT_EQ(host.Find("camera"), nullptr);
    // Closing a kind that is not open does nothing.
    host.Close("camera");
}
