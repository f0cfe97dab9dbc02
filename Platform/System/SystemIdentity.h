#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What this computer and its system are called: the distribution from os-release, the kernel's
// release and the machine's model from the firmware's DMI tables (or the device tree). Read from
// a root folder so that tests can use a captured tree.
struct SystemIdentity {
    QString osName;         // NAME, "Linux" when the system does not say
    QString osVersionID;    // VERSION_ID; empty on rolling releases
    QString osPrettyName;   // PRETTY_NAME, else NAME and VERSION
    QString kernelRelease;  // e.g. "6.1.0-18-amd64"; empty when unreadable
    QString model;          // e.g. "Dell Inc. XPS 13 9310"; empty when the firmware names none

    // Reads <root>/etc/os-release (else <root>/usr/lib/os-release), <root>/proc/sys/kernel/osrelease,
    // <root>/sys/devices/virtual/dmi/id and <root>/proc/device-tree/model.
    static SystemIdentity read(const QString& root = QStringLiteral("/"));
    // This computer's, read once.
    static const SystemIdentity& current();

    // The system and its version, as people call it: "Debian GNU/Linux 12".
    QString nameAndVersion() const;
    // The system in full with its kernel: "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64".
    QString versionLine() const;

    // The assignments of an os-release file, with shell quoting and escapes undone.
    static QMap<QString, QString> parseOSRelease(const QByteArray& text);
    // The model from DMI fields: vendor and product, without the placeholders firmware leaves in
    // them; where the product field holds a type number (Lenovo), its version field names the model.
    static QString modelFromDMI(const QString& vendor, const QString& product, const QString& version);
};
