#include "window_raiser.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {
xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

bool hasWindowManager(xcb_connection_t* connection, xcb_window_t root)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, 0, root, atom(connection, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    const bool found = reply && xcb_get_property_value_length(reply) > 0;
    std::free(reply);
    return found;
}
} // namespace

void WindowRaiser::bringToFront(QWidget* window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
    activateOnX11(window);
}

// Qt stamps its activation with the time of the last X event the program
// saw. An idle client's is older than the last change of focus, so the X
// server (or a window manager guarding against focus stealing) ignores it.
// Ask again with the current time, as a pager does.
void WindowRaiser::activateOnX11(QWidget* window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || xcb_connection_has_error(connection))
        return;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_iterator_t screens = setup ? xcb_setup_roots_iterator(setup) : xcb_screen_iterator_t{};
    if (!screens.data)
        return;
    const xcb_window_t id = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = screens.data->root;
    if (!hasWindowManager(connection, root)) {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
        xcb_flush(connection);
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = atom(connection, "_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // from a pager: no focus-stealing guard
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}
