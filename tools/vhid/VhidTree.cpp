#include "VhidTree.h"

#include <cstdio>

namespace brasslane::vhid {

namespace {

// hidraw's character device major on a typical system; only shown in the "dev" files.
constexpr int kHidrawMajor = 244;

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

void AddDirectory(Tree& tree, const std::string& path) {
    if (tree.contains(path)) {
        return;
    }
    tree[path].kind = NodeKind::kDirectory;
    if (path.empty()) {
        return;
    }
    const std::size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    AddDirectory(tree, parent);
    tree[parent].children.insert(path.substr(slash == std::string::npos ? 0 : slash + 1));
}

void Add(Tree& tree, const std::string& path, Node node) {
    const std::size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    AddDirectory(tree, parent);
    tree[parent].children.insert(path.substr(slash == std::string::npos ? 0 : slash + 1));
    tree[path] = std::move(node);
}

void AddFile(Tree& tree, const std::string& path, std::string content) {
    Node node;
    node.kind = NodeKind::kFile;
    node.content = std::move(content);
    Add(tree, path, std::move(node));
}

void AddLink(Tree& tree, const std::string& path, std::string target) {
    Node node;
    node.kind = NodeKind::kSymlink;
    node.content = std::move(target);
    Add(tree, path, std::move(node));
}

} // namespace

Tree BuildTree(const TreeState& state) {
    Tree tree;
    AddDirectory(tree, "");
    Node control;
    control.kind = NodeKind::kControl;
    Add(tree, "control", control);
    AddDirectory(tree, "dev");
    AddDirectory(tree, "sys/class/hidraw");
    AddDirectory(tree, "sys/devices");
    if (!state.plugged) {
        return tree;
    }

    const std::string usbDevice = "sys/devices/usb1/1-4";
    AddFile(tree, usbDevice + "/idVendor", Format("%04x\n", state.vendorId));
    AddFile(tree, usbDevice + "/idProduct", Format("%04x\n", state.productId));
    AddFile(tree, usbDevice + "/bcdDevice", "0105\n");
    for (std::size_t i = 0; i < state.descriptors.size(); ++i) {
        const auto number = static_cast<unsigned>(i);
        const std::string name = "hidraw" + std::to_string(i);
        const std::string usbInterface = usbDevice + Format("/1-4:1.%u", number);
        const auto sequence = static_cast<unsigned>(1 + state.generation * state.descriptors.size() + i);
        const std::string hidName = Format("0003:%04X:%04X.%04X", state.vendorId, state.productId, sequence);
        const std::string hidDevice = usbInterface + "/" + hidName;

        AddFile(tree, usbInterface + "/bInterfaceNumber", Format("%02x\n", number));
        AddFile(tree, hidDevice + "/uevent",
                "DRIVER=hid-generic\n" + Format("HID_ID=0003:%08X:%08X\n", state.vendorId, state.productId) +
                    "HID_NAME=Brasslane virtual keyboard\n" + Format("HID_PHYS=usb-0000:00:14.0-4/input%u\n", number) +
                    "HID_UNIQ=\n" + Format("MODALIAS=hid:b0003g0001v%08Xp%08X\n", state.vendorId, state.productId));
        const auto& descriptor = state.descriptors[i];
        AddFile(tree, hidDevice + "/report_descriptor", std::string(descriptor.begin(), descriptor.end()));

        const std::string hidrawDir = hidDevice + "/hidraw/" + name;
        AddFile(tree, hidrawDir + "/dev", Format("%u:%u\n", kHidrawMajor, number));
        AddFile(tree, hidrawDir + "/uevent",
                Format("MAJOR=%u\nMINOR=%u\n", kHidrawMajor, number) + "DEVNAME=" + name + "\n");
        AddLink(tree, hidrawDir + "/device", "../..");
        // sys/class/hidraw/hidrawN -> ../../devices/usb1/...: two levels up from the class folder.
        AddLink(tree, "sys/class/hidraw/" + name, "../../" + hidrawDir.substr(4));

        Node nodeFile;
        nodeFile.kind = NodeKind::kHidraw;
        nodeFile.interface = static_cast<int>(i);
        Add(tree, "dev/" + name, nodeFile);
    }
    return tree;
}

} // namespace brasslane::vhid
