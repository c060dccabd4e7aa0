#include "xdisplay.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace velmora::testing {
namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

// The bytes of a window property, or nothing.
QByteArray property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr);
    QByteArray bytes;
    if (reply && reply->type != XCB_ATOM_NONE)
        bytes = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    std::free(reply);
    return bytes;
}

// The CARDINAL values of a window property (empty when it is not set).
std::vector<std::uint32_t> cardinals(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name,
                                     xcb_atom_t type)
{
    const QByteArray bytes = property(c, window, name, type);
    std::vector<std::uint32_t> values(static_cast<std::size_t>(bytes.size()) / 4);
    std::memcpy(values.data(), bytes.constData(), values.size() * 4);
    return values;
}

} // namespace

XDisplay::XDisplay()
{
    int screen = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
}

XDisplay::~XDisplay()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

std::vector<XWindow> XDisplay::visibleWindowsOf(std::int64_t pid) const
{
    std::vector<XWindow> found;
    xcb_connection_t *c = m_connection;
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    const xcb_atom_t nameAtom = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    // Top-level windows are children of the root, or, under a window manager, of its frames.
    std::function<void(xcb_window_t, int)> walk = [&](xcb_window_t parent, int depth) {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        for (int i = 0; i < count; ++i) {
            const xcb_window_t w = children[i];
            const QByteArray pidBytes = property(c, w, pidAtom, XCB_ATOM_CARDINAL);
            if (pidBytes.size() < 4) {
                if (depth < 2)
                    walk(w, depth + 1);
                continue;
            }
            std::uint32_t windowPid = 0;
            std::memcpy(&windowPid, pidBytes.constData(), 4);
            xcb_get_window_attributes_reply_t *attributes =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            if (windowPid != pid || !viewable)
                continue;
            XWindow window;
            window.id = w;
            QByteArray title = property(c, w, nameAtom, utf8);
            if (title.isEmpty())
                title = property(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
            window.title = QString::fromUtf8(title);
            xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
            xcb_translate_coordinates_reply_t *origin =
                xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, m_root, 0, 0), nullptr);
            if (geometry && origin)
                window.geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
            std::free(geometry);
            std::free(origin);
            found.push_back(window);
        }
        std::free(tree);
    };
    if (c)
        walk(m_root, 0);
    return found;
}

QImage XDisplay::screenshot() const
{
    xcb_connection_t *c = m_connection;
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, m_root), nullptr);
    if (!geometry)
        return {};
    const int width = geometry->width;
    const int height = geometry->height;
    std::free(geometry);
    xcb_get_image_reply_t *image = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, 0, 0, width, height, ~0u), nullptr);
    QImage result;
    // A 24-bit screen keeps its pixels in 32 bits, blue first: Qt's RGB32 on this machine.
    if (image && xcb_get_image_data_length(image) == width * height * 4)
        result = QImage(xcb_get_image_data(image), width, height, qsizetype{width} * 4, QImage::Format_RGB32)
                     .copy();
    std::free(image);
    return result;
}

void XDisplay::raise(std::uint32_t window) const
{
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(m_connection);
}

void XDisplay::requestClose(std::uint32_t window) const
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(m_connection, "WM_PROTOCOLS");
    event.data.data32[0] = atom(m_connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(m_connection);
}

void XDisplay::pressKey(std::uint32_t window, std::uint32_t keysym) const
{
    xcb_connection_t *c = m_connection;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *mapping =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    if (!mapping)
        return;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(mapping);
    xcb_keycode_t code = 0;
    for (int i = 0; i < count * mapping->keysyms_per_keycode && !code; ++i) {
        if (syms[i] == keysym)
            code = static_cast<xcb_keycode_t>(setup->min_keycode + i / mapping->keysyms_per_keycode);
    }
    std::free(mapping);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    for (const std::uint8_t type : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
        xcb_key_press_event_t event{};
        event.response_type = type;
        event.detail = code;
        event.time = XCB_CURRENT_TIME;
        event.root = m_root;
        event.event = window;
        event.same_screen = 1;
        xcb_send_event(c, 1, window,
                       type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                       reinterpret_cast<const char *>(&event));
    }
    xcb_flush(c);
}

bool XDisplay::hasWindowManager() const
{
    return !cardinals(m_connection, m_root, atom(m_connection, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW)
                .empty();
}

std::uint32_t XDisplay::activeWindow() const
{
    const auto values =
        cardinals(m_connection, m_root, atom(m_connection, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return values.empty() ? 0 : values[0];
}

QMargins XDisplay::frameExtents(std::uint32_t window) const
{
    const auto values =
        cardinals(m_connection, window, atom(m_connection, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (values.size() < 4)
        return {};
    // left, right, top, bottom
    return QMargins(static_cast<int>(values[0]), static_cast<int>(values[2]), static_cast<int>(values[1]),
                    static_cast<int>(values[3]));
}

namespace {

// A request to the window manager: a client message to the root window.
void askWindowManager(xcb_connection_t *c, xcb_window_t root, xcb_window_t window, const char *message,
                      std::array<std::uint32_t, 5> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, message);
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

constexpr std::uint32_t kFromPager = 2; // the source of a request: a pager, as a user's own tool

} // namespace

void XDisplay::setMaximised(std::uint32_t window, bool maximised) const
{
    askWindowManager(m_connection, m_root, window, "_NET_WM_STATE",
                     {maximised ? 1u : 0u, atom(m_connection, "_NET_WM_STATE_MAXIMIZED_VERT"),
                      atom(m_connection, "_NET_WM_STATE_MAXIMIZED_HORZ"), kFromPager, 0});
}

void XDisplay::moveResize(std::uint32_t window, const QRect &client) const
{
    // Gravity static (10): the position is the client's own; x, y, width and height given.
    const std::uint32_t flags = 10u | (0xfu << 8) | (kFromPager << 12);
    askWindowManager(m_connection, m_root, window, "_NET_MOVERESIZE_WINDOW",
                     {flags, static_cast<std::uint32_t>(client.x()), static_cast<std::uint32_t>(client.y()),
                      static_cast<std::uint32_t>(client.width()),
                      static_cast<std::uint32_t>(client.height())});
}

} // namespace velmora::testing
