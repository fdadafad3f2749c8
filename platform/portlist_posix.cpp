// Linux and macOS: libserialport knows where each system keeps its ports
// and their USB descriptions.
#include "platform/portlist.h"

#include <libserialport.h>

#include <cstdio>
#include <cstdlib>
#include <glob.h>

#ifdef KPL_LIBSERIALPORT_AT_RUN_TIME
// A static kpl (the Linux tarball) takes libserialport, which is under the
// LGPL, from the user's system when the ports are listed.
#include <dlfcn.h>

// clang-format off
#define KPL_SP_FUNCTIONS(X)                                                    \
    X(sp_list_ports) X(sp_free_port_list) X(sp_get_port_name)                 \
    X(sp_get_port_description) X(sp_get_port_transport)                       \
    X(sp_get_port_usb_product) X(sp_get_port_usb_manufacturer)                 \
    X(sp_get_port_usb_vid_pid) X(sp_last_error_message) X(sp_free_error_message)   \
    X(sp_get_port_by_name) X(sp_free_port) X(sp_get_port_usb_serial)
// clang-format on

namespace {

struct SerialPortLibrary {
#define KPL_SP_FIELD(name) decltype(&::name) name = nullptr;
    KPL_SP_FUNCTIONS(KPL_SP_FIELD)
    bool loaded = false;
};

const SerialPortLibrary& Loaded() {
    static const SerialPortLibrary library = [] {
        SerialPortLibrary found;
        void* handle = dlopen("libserialport.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return found;
#define KPL_SP_LOAD(name)                                                                          \
    if (!(found.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name))))                 \
        return found;
        KPL_SP_FUNCTIONS(KPL_SP_LOAD)
        found.loaded = true;
        return found;
    }();
    return library;
}

} // namespace
#define SP(name) Loaded().name
#else
#define SP(name) name
#endif

namespace {

std::string Text(const char* text) {
    return text ? text : "";
}

std::string DescriptionOf(sp_port* port) {
    if (SP(sp_get_port_transport)(port) != SP_TRANSPORT_USB)
        return "";
    std::string product = Text(SP(sp_get_port_usb_product)(port));
    std::string maker = Text(SP(sp_get_port_usb_manufacturer)(port));
    if (product.empty())
        product = Text(SP(sp_get_port_description)(port));
    int vendor = 0;
    int model = 0;
    std::string text = product;
    if (!maker.empty() && product.find(maker) == std::string::npos)
        text += (text.empty() ? "" : ", ") + maker;
    if (SP(sp_get_port_usb_vid_pid)(port, &vendor, &model) == SP_OK) {
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", vendor & 0xFFFF, model & 0xFFFF);
        text += (text.empty() ? "USB " : " (USB ") + std::string(ids) + (text.empty() ? "" : ")");
    }
    return text;
}

} // namespace

SerialPortEntry DescribeSerialPort(const std::string& name) {
    SerialPortEntry entry{name, "", ""};
#ifdef KPL_LIBSERIALPORT_AT_RUN_TIME
    if (!Loaded().loaded)
        return entry;
#endif
    // libserialport finds a port's details by its device's own name.
    char* device = realpath(name.c_str(), nullptr);
    sp_port* port = nullptr;
    if (device && SP(sp_get_port_by_name)(device, &port) == SP_OK) {
        entry.description = DescriptionOf(port);
        if (SP(sp_get_port_transport)(port) == SP_TRANSPORT_USB)
            entry.usbSerial = Text(SP(sp_get_port_usb_serial)(port));
        SP(sp_free_port)(port);
    }
    std::free(device);
    return entry;
}

std::vector<std::string> MatchingPorts(const std::string& pattern) {
    std::vector<std::string> names;
    glob_t found{};
    if (glob(pattern.c_str(), 0, nullptr, &found) == 0)
        for (std::size_t i = 0; i < found.gl_pathc; ++i)
            names.push_back(found.gl_pathv[i]);
    globfree(&found);
    return names;
}

bool ListSerialPorts(std::vector<SerialPortEntry>& ports, std::string& why) {
    ports.clear();
#ifdef KPL_LIBSERIALPORT_AT_RUN_TIME
    if (!Loaded().loaded) {
        why = "listing ports needs libserialport.so.0, which is not installed (Debian and Ubuntu: "
              "apt install libserialport0; Fedora: dnf install libserialport)";
        return false;
    }
#endif
    sp_port** list = nullptr;
    if (SP(sp_list_ports)(&list) != SP_OK) {
        char* message = SP(sp_last_error_message)();
        why = Text(message);
        SP(sp_free_error_message)(message);
        return false;
    }
    for (sp_port** port = list; *port; ++port)
        ports.push_back({Text(SP(sp_get_port_name)(*port)), DescriptionOf(*port), ""});
    SP(sp_free_port_list)(list);
    return true;
}
