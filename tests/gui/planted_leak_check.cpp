// Proof that the leak check at exit sees our leaks: a block leaked on purpose in a click
// handler ("click") or a timer handler ("timer") must be reported by LeakSanitizer, and
// with nothing planted ("none") the run must report nothing. The click comes from the X
// server and the timer from the event loop, so the handlers run beneath glib and Qt's X
// plugin, whose own leaks the suppression file names.
#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The sizes tell the planted blocks apart in the report.
constexpr std::size_t kClickLeakBytes = 4242;
constexpr std::size_t kTimerLeakBytes = 4343;

char* volatile Planted = nullptr;

[[gnu::noinline]] void PlantLeak(std::size_t Bytes)
{
    Planted = new char[Bytes];
    std::memset(Planted, 1, Bytes);
    Planted = nullptr;  // the only reference is dropped
}

// A left-button press and release at the centre of the widget's native window, sent
// through the X server so that Qt reads it from its X connection like a user's click.
bool ClickThroughXServer(QWidget& Target)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t window = static_cast<xcb_window_t>(Target.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const qreal ratio = Target.devicePixelRatioF();
    const QPoint local = Target.rect().center() * ratio;
    const QPoint global = Target.mapToGlobal(Target.rect().center()) * ratio;
    for (const bool press : {true, false}) {
        xcb_button_press_event_t e{};
        e.response_type = press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE;
        e.detail = 1;
        e.time = XCB_CURRENT_TIME;
        e.root = root;
        e.event = window;
        e.child = XCB_NONE;
        e.root_x = static_cast<int16_t>(global.x());
        e.root_y = static_cast<int16_t>(global.y());
        e.event_x = static_cast<int16_t>(local.x());
        e.event_y = static_cast<int16_t>(local.y());
        e.state = press ? 0 : XCB_BUTTON_MASK_1;
        e.same_screen = 1;
        std::array<char, 32> bytes{};
        static_assert(sizeof e <= bytes.size());
        std::memcpy(bytes.data(), &e, sizeof e);
        xcb_send_event(connection, 0, window,
                       press ? XCB_EVENT_MASK_BUTTON_PRESS : XCB_EVENT_MASK_BUTTON_RELEASE,
                       bytes.data());
    }
    return xcb_flush(connection) > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string plant = argc > 1 ? argv[1] : "";
    if (plant != "none" && plant != "click" && plant != "timer") {
        std::fprintf(stderr, "usage: %s none|click|timer\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QPushButton button("Plant");
    button.resize(240, 120);
    button.show();
    if (!QTest::qWaitForWindowExposed(&button))
        return 3;

    bool clicked = false, fired = false;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        clicked = true;
        if (plant == "click")
            PlantLeak(kClickLeakBytes);
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    QTimer::singleShot(50, [&] {
        fired = true;
        if (plant == "timer")
            PlantLeak(kTimerLeakBytes);
        if (!ClickThroughXServer(button))
            app.exit(4);
    });
    QTimer::singleShot(20000, [&] { app.exit(5); });
    const int result = app.exec();
    if (result != 0)
        return result;
    if (!clicked || !fired) {
        std::fprintf(stderr, "The click or the timer never reached its handler.\n");
        return 6;
    }
    return 0;
}
