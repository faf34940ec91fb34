#!/usr/bin/python3
"""Writes the emulated USB trees of this folder in the shape umockdev-record
gives them on a real machine (see README.md). Run it from anywhere; it
rewrites every *.umockdev file it knows. Edit the tables below, never the
output."""
import os

CONTROLLER = "/devices/pci0000:00/0000:00:14.0"
KERNEL = "Linux 6.1.0-13-amd64 xhci-hcd"


def hexle(value, size):
    return value.to_bytes(size, "little").hex()


class Dev:
    """One USB device: a hub (class 09) unless iface_class says otherwise."""

    def __init__(self, name, vid, pid, bcd, usb=0x0320, speed="5000", manufacturer="", product="",
                 dev_class=0x09, proto=0x03, mps=9, iface_class=0x09, iface_driver="hub", ports=4, serial=None,
                 damaged=None):
        self.name, self.vid, self.pid, self.bcd, self.usb = name, vid, pid, bcd, usb
        self.speed, self.manufacturer, self.product = speed, manufacturer, product
        self.dev_class, self.proto, self.mps = dev_class, proto, mps
        self.iface_class, self.iface_driver, self.ports, self.serial = iface_class, iface_driver, ports, serial
        # Attributes that read otherwise than the kernel writes them: a value,
        # or None for one that is missing.
        self.damaged = damaged or {}

    @property
    def root(self):
        return self.name.startswith("usb")

    @property
    def bus(self):
        return int(self.name[3:]) if self.root else int(self.name.split("-")[0])

    @property
    def devpath(self):
        return "0" if self.root else self.name.split("-")[1]

    def syspath(self, tree):
        if self.root:
            return CONTROLLER + "/" + self.name
        parent = tree.parent_of(self.name)
        return parent.syspath(tree) + "/" + self.name

    def iface_name(self):
        return ("%d-0" % self.bus if self.root else self.name) + ":1.0"


def driver_link(path, driver):
    up = "../" * len(path.strip("/").split("/"))
    return up + "bus/usb/drivers/" + driver


def udev_text(text):
    return text.replace(" ", "_")


def udev_enc(text):
    return text.replace(" ", "\\x20")


def block(path, node, props, attrs):
    lines = ["P: " + path]
    if node:
        lines.append("N: " + node)
    lines += ["E: %s=%s" % kv for kv in sorted(props.items())]
    # Attributes, links and binary attributes stand together in name order.
    for name, (kind, value) in sorted(attrs.items()):
        lines.append("%s: %s=%s" % (kind, name, value))
    return "\n".join(lines) + "\n"


def descriptors(d):
    device = "1201" + hexle(d.usb, 2) + "%02x%02x%02x%02x" % (d.dev_class, 0, d.proto, d.mps)
    device += hexle(d.vid, 2) + hexle(d.pid, 2) + hexle(d.bcd, 2)
    device += ("030201" if d.root else ("0102" + ("03" if d.serial else "00"))) + "01"
    super_speed = d.usb >= 0x0300
    if d.iface_class == 0x09:
        iface = "0904000001090000" + "00"
        endpoints = "0705810302000c" + ("063000000200" if super_speed else "")
    else:
        iface = "0904000002080650" + "00"
        endpoints = "".join("070581020004" + "00" + ("0630" + "0f000000" if super_speed else "") for _ in (1,))
        endpoints += "070502020004" + "00" + ("06300f000000" if super_speed else "")
    total = 9 + (len(iface) + len(endpoints)) // 2
    config = "0902" + hexle(total, 2) + "010100e0" + "00"
    return (device + config + iface + endpoints).upper()


def device_block(d, tree):
    path = d.syspath(tree)
    devnum = tree.devnum(d)
    node = "bus/usb/%03d/%03d" % (d.bus, devnum)
    minor = (d.bus - 1) * 128 + devnum - 1
    hub = d.iface_class == 0x09
    props = {
        "BUSNUM": "%03d" % d.bus, "DEVNAME": "/dev/" + node, "DEVNUM": "%03d" % devnum,
        "DEVTYPE": "usb_device", "DRIVER": "usb", "MAJOR": "189", "MINOR": str(minor),
        "PRODUCT": "%x/%x/%x" % (d.vid, d.pid, d.bcd), "SUBSYSTEM": "usb",
        "TYPE": "%d/%d/%d" % (d.dev_class, 0, d.proto),
        "ID_BUS": "usb", "ID_MODEL": udev_text(d.product), "ID_MODEL_ENC": udev_enc(d.product),
        "ID_MODEL_ID": "%04x" % d.pid, "ID_REVISION": "%04x" % d.bcd,
        "ID_SERIAL": udev_text(d.manufacturer) + "_" + udev_text(d.product) + ("_" + d.serial if d.serial else ""),
        "ID_USB_INTERFACES": ":%02x%s:" % (d.iface_class, "0000" if hub else "0650"),
        "ID_VENDOR": udev_text(d.manufacturer), "ID_VENDOR_ENC": udev_enc(d.manufacturer),
        "ID_VENDOR_ID": "%04x" % d.vid,
    }
    if d.serial:
        props["ID_SERIAL_SHORT"] = d.serial
    nl = "\\n"
    a = lambda v: ("A", str(v) + nl)
    attrs = {
        "authorized": a(1), "avoid_reset_quirk": a(0), "bConfigurationValue": a(1),
        "bDeviceClass": a("%02x" % d.dev_class), "bDeviceProtocol": a("%02x" % d.proto),
        "bDeviceSubClass": a("00"), "bMaxPacketSize0": a(d.mps), "bMaxPower": a("0mA" if hub else "896mA"),
        "bNumConfigurations": a(1), "bNumInterfaces": a("%2d" % 1), "bcdDevice": a("%04x" % d.bcd),
        "bmAttributes": a("e0" if hub else "80"), "busnum": a(d.bus), "configuration": a(""),
        "descriptors": ("H", descriptors(d)), "dev": a("189:%d" % minor), "devnum": a(devnum),
        "devpath": a(d.devpath), "driver": ("L", driver_link(path, "usb")), "idProduct": a("%04x" % d.pid),
        "idVendor": a("%04x" % d.vid), "ltm_capable": a("no"), "manufacturer": a(d.manufacturer),
        "power/active_duration": a(tree.clock), "power/autosuspend": a(0 if hub else 2),
        "power/autosuspend_delay_ms": a(0 if hub else 2000), "power/connected_duration": a(tree.clock),
        "power/control": a("auto" if hub else "on"), "power/level": a("auto" if hub else "on"),
        "power/persist": a(1), "power/runtime_status": a("active"), "product": a(d.product),
        "quirks": a("0x0"), "removable": a("unknown" if d.root else "removable"),
        "rx_lanes": a(1), "speed": a(d.speed), "tx_lanes": a(1), "urbnum": a(40 + devnum),
        "version": a("%2x.%02x" % (d.usb >> 8, d.usb & 0xFF)),
    }
    if hub:
        attrs["maxchild"] = a(d.ports)
    if d.serial:
        attrs["serial"] = a(d.serial)
    for name, value in d.damaged.items():
        if value is None:
            del attrs[name]
        else:
            attrs[name] = a(value)
    return block(path, node + "=" + descriptors(d), props, attrs)


def interface_block(d, tree):
    path = d.syspath(tree) + "/" + d.iface_name()
    hub = d.iface_class == 0x09
    sub, proto = (0, 0) if hub else (6, 0x50)
    alias = "usb:v%04Xp%04Xd%04Xdc%02Xdsc00dp%02Xic%02Xisc%02Xip%02Xin00" % (
        d.vid, d.pid, d.bcd, d.dev_class, d.proto, d.iface_class, sub, proto)
    props = {"DEVTYPE": "usb_interface", "INTERFACE": "%d/%d/%d" % (d.iface_class, sub, proto),
             "MODALIAS": alias, "PRODUCT": "%x/%x/%x" % (d.vid, d.pid, d.bcd), "SUBSYSTEM": "usb",
             "TYPE": "%d/%d/%d" % (d.dev_class, 0, d.proto)}
    nl = "\\n"
    a = lambda v: ("A", str(v) + nl)
    attrs = {"authorized": a(1), "bAlternateSetting": a("%2d" % 0), "bInterfaceClass": a("%02x" % d.iface_class),
             "bInterfaceNumber": a("00"), "bInterfaceProtocol": a("%02x" % proto),
             "bInterfaceSubClass": a("%02x" % sub), "bNumEndpoints": a("01" if hub else "02"),
             "modalias": a(alias), "supports_autosuspend": a(1)}
    if d.iface_driver:
        props["DRIVER"] = d.iface_driver
        attrs["driver"] = ("L", driver_link(path, d.iface_driver))
    return block(path, None, props, attrs)


def controller_block():
    props = {"DRIVER": "xhci_hcd", "ID_PCI_CLASS_FROM_DATABASE": "Serial bus controller",
             "ID_PCI_INTERFACE_FROM_DATABASE": "XHCI", "ID_PCI_SUBCLASS_FROM_DATABASE": "USB controller",
             "MODALIAS": "pci:v00008086d00007AE0sv000017AAsd00003A1Fbc0Csc03i30", "PCI_CLASS": "C0330",
             "PCI_ID": "8086:7AE0", "PCI_SLOT_NAME": "0000:00:14.0", "PCI_SUBSYS_ID": "17AA:3A1F",
             "SUBSYSTEM": "pci"}
    nl = "\\n"
    attrs = {"class": ("A", "0x0c0330" + nl), "device": ("A", "0x7ae0" + nl),
             "driver": ("L", "../../../bus/pci/drivers/xhci_hcd"), "vendor": ("A", "0x8086" + nl),
             "power/control": ("A", "auto" + nl), "revision": ("A", "0x11" + nl)}
    return block(CONTROLLER, None, props, attrs)


class Tree:
    def __init__(self, devices, recorded=None):
        self.devices = {d.name: d for d in devices}
        self.order = [d.name for d in devices]
        self.clock = 1834406
        # What was named on umockdev-record's command line: by default every
        # interface, which brings along its device and every ancestor.
        self.recorded = recorded or [d.iface_name() for d in devices]

    def parent_of(self, name):
        tail = name.split("-")[1]
        if "." not in tail:
            return self.devices["usb" + name.split("-")[0]]
        return self.devices[name.rsplit(".", 1)[0]]

    def devnum(self, d):
        same_bus = [n for n in self.order if self.devices[n].bus == d.bus]
        return same_bus.index(d.name) + 1

    def chain(self, name):
        """The recorded node and its ancestors, nearest first."""
        if ":" in name:
            owner = name.split(":")[0]
            d = self.devices["usb" + owner[:-2] if owner.endswith("-0") else owner]
            return [("iface", d)] + self.chain(d.name)
        d = self.devices[name]
        above = [("pci", None)] if d.root else self.chain(self.parent_of(name).name)
        return [("dev", d)] + above

    def text(self):
        done, blocks = set(), []
        for name in self.recorded:
            for kind, d in self.chain(name):
                key = (kind, d.name if d else "")
                if key in done:
                    continue
                done.add(key)
                if kind == "iface":
                    blocks.append(interface_block(d, self))
                elif kind == "dev":
                    blocks.append(device_block(d, self))
                else:
                    blocks.append(controller_block())
        return "\n".join(blocks)


def root2(n=2):
    return Dev("usb%d" % n, 0x1D6B, 0x0003, 0x0601, usb=0x0300, speed="5000", manufacturer=KERNEL,
               product="xHCI Host Controller", mps=9, serial="0000:00:14.0")


def root1(n=1):
    return Dev("usb%d" % n, 0x1D6B, 0x0002, 0x0601, usb=0x0200, speed="480", manufacturer=KERNEL,
               product="xHCI Host Controller", proto=0x01, mps=64, serial="0000:00:14.0", ports=12)


def special(name, pid, bcd, manufacturer="Tolvane Bench", product="USB3.2 Hub", driver="hub", ports=4,
            damaged=None):
    return Dev(name, 0x3C5E, pid, bcd, manufacturer=manufacturer, product=product, iface_driver=driver, ports=ports,
               damaged=damaged)


def storage(name):
    return Dev(name, 0x0781, 0x5583, 0x0100, manufacturer="SanDisk", product="Ultra Fit", dev_class=0,
               proto=0, iface_class=0x08, iface_driver="usb-storage", serial="4C530001230415101384")


def foreign(name):
    return Dev(name, 0x2109, 0x0817, 0x0223, manufacturer="VIA Labs, Inc.", product="USB3.0 Hub")


def many():
    devices = [root2()]
    for a in (1, 2, 3, 4, 9, 10):
        devices.append(special("2-%d" % a, 0x0460, 0x9000 + (a // 10 << 4) + a % 10, ports=7))
        for b in range(1, 6):
            devices.append(special("2-%d.%d" % (a, b), 0x0461, 0x9000 + (a << 8) + b * 0x11))
    return devices


TREES = {
    "chain-3c5e-0460": Tree([root1(), root2(), special("2-1", 0x0460, 0x9021), special("2-1.3", 0x0460, 0x8011),
                             foreign("2-1.4"), storage("2-1.3.2")]),
    "ordinary-u2-u3": Tree([root1(), Dev("1-2", 0x05E3, 0x0612, 0x0654, usb=0x0210, speed="480",
                                         manufacturer="GenesysLogic", product="USB2.1 Hub", proto=0x02, mps=64),
                            root2(), Dev("2-2", 0x05E3, 0x0610, 0x0654, manufacturer="GenesysLogic",
                                         product="USB3.2 Hub")]),
    "foreign-hub": Tree([root2(), foreign("2-4")]),
    "not-a-hub": Tree([root1(), Dev("1-1", 0x3C5E, 0x0461, 0x9021, usb=0x0200, speed="480",
                                    manufacturer="Tolvane Bench", product="Keyboard with the ids of a hub",
                                    dev_class=0x00, proto=0x00, mps=64)]),
    "long-strings": Tree([root2(), special("2-1", 0x0460, 0x9021,
                                           "Tolvane Bench Hub Products, a maker whose name is longer than any field",
                                           "USB3.2 Hub f\u00fcr die Pr\u00fcfstrecke \u2013 Laborpl\u00e4tze Nord"),
                          special("2-2", 0x0461, 0x9021, "Manufacturer text of exactly forty-five bytes",
                                  "Product text of exactly forty-six bytes, cut..")]),
    "many-hubs": Tree(many()),
    "unbound-hub": Tree([root2(), special("2-1", 0x0460, 0x9021), special("2-1.2", 0x0460, 0x9021, driver=None)]),
    "other-driver-hub": Tree([root2(), special("2-1", 0x0460, 0x9021),
                              special("2-1.2", 0x0460, 0x9021, driver="usbfs")]),
    # Special hubs whose ids or class cannot be read: a damaged value, a
    # missing one, and a class that is gone (the hub interface tells it is a
    # hub).
    "unreadable-ids": Tree([root2(), special("2-1", 0x0460, 0x9021), special("2-2", 0x0460, 0x9021,
                                                                             damaged={"idVendor": "3c5g"}),
                            special("2-3", 0x0461, 0x9021, damaged={"idProduct": None}),
                            special("2-4", 0x0460, 0x9021, damaged={"bDeviceClass": "hub"})]),
    # umockdev-record /dev/bus/usb/002/004: the storage device and its
    # ancestors only, no interface at all.
    "behind-hubs": Tree([root2(), special("2-1", 0x0460, 0x9021), special("2-1.3", 0x0460, 0x8011),
                         storage("2-1.3.2")], recorded=["2-1.3.2"]),
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, tree in TREES.items():
        with open(os.path.join(here, name + ".umockdev"), "w", encoding="utf-8") as out:
            out.write(tree.text())
