// Linux and macOS: libserialport knows where each system keeps its ports
// and their USB descriptions.
#include "platform/portlist.h"

#include <libserialport.h>

#include <cstdio>

namespace {

std::string Text(const char* text) {
    return text ? text : "";
}

std::string DescriptionOf(sp_port* port) {
    if (sp_get_port_transport(port) != SP_TRANSPORT_USB)
        return "";
    std::string product = Text(sp_get_port_usb_product(port));
    std::string maker = Text(sp_get_port_usb_manufacturer(port));
    if (product.empty())
        product = Text(sp_get_port_description(port));
    int vendor = 0;
    int model = 0;
    std::string text = product;
    if (!maker.empty() && product.find(maker) == std::string::npos)
        text += (text.empty() ? "" : ", ") + maker;
    if (sp_get_port_usb_vid_pid(port, &vendor, &model) == SP_OK) {
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", vendor & 0xFFFF, model & 0xFFFF);
        text += (text.empty() ? "USB " : " (USB ") + std::string(ids) + (text.empty() ? "" : ")");
    }
    return text;
}

} // namespace

bool ListSerialPorts(std::vector<SerialPortEntry>& ports, std::string& why) {
    ports.clear();
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK) {
        char* message = sp_last_error_message();
        why = Text(message);
        sp_free_error_message(message);
        return false;
    }
    for (sp_port** port = list; *port; ++port)
        ports.push_back({Text(sp_get_port_name(*port)), DescriptionOf(*port)});
    sp_free_port_list(list);
    return true;
}
