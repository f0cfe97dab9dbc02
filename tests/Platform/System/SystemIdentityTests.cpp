#include "Platform/System/SystemIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A root folder with the files given (path relative to the root -> contents).
struct Tree {
    QTemporaryDir dir;
    void put(const QString& path, const QByteArray& contents) {
        const QString full = dir.path() + "/" + path;
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    SystemIdentity read() const { return SystemIdentity::read(dir.path()); }
};

}  // namespace

TEST(SystemIdentity, OSReleaseQuotingEscapesAndComments) {
    const auto values = SystemIdentity::parseOSRelease(
        "# comment\n"
        "NAME=\"Debian GNU/Linux\"\n"
        "VERSION_ID=\"12\"\n"
        "ID=debian\n"
        "PRETTY_NAME='Debian GNU/Linux 12 (bookworm)'\n"
        "QUOTED=\"a \\\"b\\\" \\$c \\\\ d\"\n"
        "BARE=one\\ two three\n"
        "  SPACED = x\n"
        "broken line\n");
    EXPECT_EQ(values.value("NAME"), "Debian GNU/Linux");
    EXPECT_EQ(values.value("VERSION_ID"), "12");
    EXPECT_EQ(values.value("ID"), "debian");
    EXPECT_EQ(values.value("PRETTY_NAME"), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(values.value("QUOTED"), "a \"b\" $c \\ d");
    EXPECT_EQ(values.value("BARE"), "one two");
    EXPECT_FALSE(values.contains("broken line"));
    EXPECT_FALSE(values.contains("#"));
}

TEST(SystemIdentity, ReadsDistributionKernelAndModelFromTheTree) {
    Tree tree;
    tree.put("etc/os-release", "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\n"
                               "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    tree.put("proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    tree.put("sys/devices/virtual/dmi/id/sys_vendor", "Dell Inc.\n");
    tree.put("sys/devices/virtual/dmi/id/product_name", "XPS 13 9310\n");
    const SystemIdentity identity = tree.read();
    EXPECT_EQ(identity.nameAndVersion(), "Debian GNU/Linux 12");
    EXPECT_EQ(identity.versionLine(), "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64");
    EXPECT_EQ(identity.model, "Dell Inc. XPS 13 9310");
}

TEST(SystemIdentity, FallbacksWhenTheSystemSaysLittle) {
    {
        // os-release only under /usr/lib, no PRETTY_NAME, a rolling release without VERSION_ID;
        // no DMI but a device-tree model.
        Tree tree;
        tree.put("usr/lib/os-release", "NAME=Arch\\ Linux\nVERSION=rolling\n");
        tree.put("proc/device-tree/model", QByteArray("Raspberry Pi 4 Model B Rev 1.4\0", 31));
        const SystemIdentity identity = tree.read();
        EXPECT_EQ(identity.nameAndVersion(), "Arch Linux");
        EXPECT_EQ(identity.versionLine(), "Arch Linux rolling");
        EXPECT_EQ(identity.model, "Raspberry Pi 4 Model B Rev 1.4");
    }
    {
        // Nothing at all.
        Tree tree;
        const SystemIdentity identity = tree.read();
        EXPECT_EQ(identity.osName, "Linux");
        EXPECT_EQ(identity.nameAndVersion(), "Linux");
        EXPECT_EQ(identity.versionLine(), "Linux");
        EXPECT_EQ(identity.model, "");
    }
    // Firmware placeholders, the vendor repeated in the product, and Lenovo's type numbers.
    EXPECT_EQ(SystemIdentity::modelFromDMI("System manufacturer", "System Product Name", "System Version"), "");
    EXPECT_EQ(SystemIdentity::modelFromDMI("To Be Filled By O.E.M.", "B450M Pro4", ""), "B450M Pro4");
    EXPECT_EQ(SystemIdentity::modelFromDMI("QEMU", "Standard PC (Q35 + ICH9, 2009)", "pc-q35-7.2"),
              "QEMU Standard PC (Q35 + ICH9, 2009)");
    EXPECT_EQ(SystemIdentity::modelFromDMI("Framework", "Framework Laptop 13", "A6"), "Framework Laptop 13");
    EXPECT_EQ(SystemIdentity::modelFromDMI("LENOVO", "20XW00A6GE", "ThinkPad X1 Carbon Gen 9"),
              "LENOVO ThinkPad X1 Carbon Gen 9");
    EXPECT_EQ(SystemIdentity::modelFromDMI("LENOVO", "20XW00A6GE", "None"), "LENOVO 20XW00A6GE");
    EXPECT_EQ(SystemIdentity::modelFromDMI("ASUS", "", ""), "ASUS");
}

TEST(SystemIdentity, ThisComputerHasANameAndAKernel) {
    const SystemIdentity& identity = SystemIdentity::current();
    EXPECT_FALSE(identity.osName.isEmpty());
    EXPECT_FALSE(identity.kernelRelease.isEmpty());
    EXPECT_TRUE(identity.versionLine().contains(identity.kernelRelease));
}
