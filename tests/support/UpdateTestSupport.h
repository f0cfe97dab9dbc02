#pragma once

// Helpers of the updater's tests: a loopback HTTPS server with a certificate that only the test
// trusts, signing keys made on the spot, bundles and zip archives built to order.

#include "Source/Features/Updates/CodeSignature.h"
#include "Source/Features/Updates/Ed25519.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <zlib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace UpdateTestSupport {

// A PEM private key for openssl(1) and scripts, from a raw Ed25519 key.
inline QByteArray privateKeyPem(const QByteArray& raw) {
    EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr,
                                                 reinterpret_cast<const unsigned char*>(raw.constData()), 32);
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, int(n));
    BIO_free(bio);
    EVP_PKEY_free(key);
    return pem;
}

struct Keys {
    Ed25519::KeyPair pair = Ed25519::generate();
    QString publicBase64() const { return QString::fromLatin1(pair.publicKey.toBase64()); }
    QString sign(const QByteArray& bytes) const {
        return QString::fromLatin1(Ed25519::sign(bytes, pair.privateKey).toBase64());
    }
};

// A loopback HTTPS server. Each path answers with its response; the certificate names 127.0.0.1
// and is trusted by clientConfiguration() only.
class TestHttpsServer {
public:
    struct Response {
        QByteArray body;
        int status = 200;
        bool sendLength = true;  // without it the body ends when the connection closes
        // Sent in pieces of this size, each after the one before has gone out (0: all at once).
        qint64 piece = 0;
        QByteArray location;  // a redirect's target
        QByteArray headers;  // more header lines, each ending in CR LF
        bool headersOnly = false;  // the body never follows its headers, and the connection is held open
    };

    TestHttpsServer() {
        // A throwaway certificate from openssl(1).
        QProcess openssl;
        openssl.setWorkingDirectory(dir_.path());
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                       "-keyout", "key.pem", "-out", "cert.pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                       "subjectAltName=IP:127.0.0.1,DNS:localhost"});
        openssl.waitForFinished(30000);
        QFile cert(dir_.filePath("cert.pem")), key(dir_.filePath("key.pem"));
        cert.open(QIODevice::ReadOnly);
        key.open(QIODevice::ReadOnly);
        certificate_ = QSslCertificate(cert.readAll(), QSsl::Pem);
        const QSslKey privateKey(key.readAll(), QSsl::Ec, QSsl::Pem);

        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(certificate_);
        config.setPrivateKey(privateKey);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        server_.setSslConfiguration(config);
        QObject::connect(&server_, &QTcpServer::pendingConnectionAvailable, &server_, [this] { accept(); });
        server_.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return server_.isListening() && !certificate_.isNull(); }
    void serve(const QString& path, Response response) { responses_[path] = std::move(response); }
    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }
    // A client configuration that trusts this server's certificate.
    QSslConfiguration clientConfiguration() const {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificate(certificate_);
        return config;
    }
    QByteArray certificatePem() const { return certificate_.toPem(); }
    int requests(const QString& path) const { return requests_.value(path); }
    qint64 bodyBytesSent(const QString& path) const { return sent_.value(path); }

private:
    void accept() {
        while (QTcpSocket* raw = server_.nextPendingConnection()) {
            QPointer<QTcpSocket> socket(raw);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(raw, &QTcpSocket::readyRead, raw, [this, socket, buffer] {
                if (!socket) return;
                *buffer += socket->readAll();
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0) return;
                const QList<QByteArray> line = buffer->left(buffer->indexOf("\r\n")).split(' ');
                buffer->clear();
                answer(socket, line.size() > 1 ? QString::fromLatin1(line[1]) : QString());
            });
            QObject::connect(raw, &QTcpSocket::disconnected, raw, &QObject::deleteLater);
        }
    }

    void answer(QPointer<QTcpSocket> socket, const QString& path) {
        ++requests_[path];
        const Response response = responses_.value(path, Response{"not here", 404});
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\nConnection: close\r\n";
        if (response.sendLength) head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        if (!response.location.isEmpty()) head += "Location: " + response.location + "\r\n";
        head += response.headers;
        socket->write(head + "\r\n");
        if (response.headersOnly) return;
        if (response.piece <= 0) {
            socket->write(response.body);
            sent_[path] += response.body.size();
            socket->disconnectFromHost();
            return;
        }
        auto offset = std::make_shared<qint64>(0);
        auto next = std::make_shared<std::function<void()>>();
        *next = [this, socket, path, response, offset] {
            if (!socket || socket->state() != QAbstractSocket::ConnectedState) return;
            // Only as fast as the connection takes it: what waits to go out, encrypted or not, stays small.
            auto* ssl = qobject_cast<QSslSocket*>(socket.data());
            if (socket->bytesToWrite() + (ssl ? ssl->encryptedBytesToWrite() : 0) > response.piece) return;
            if (*offset >= response.body.size()) return socket->disconnectFromHost();
            const QByteArray piece = response.body.mid(*offset, response.piece);
            *offset += piece.size();
            sent_[path] += piece.size();
            socket->write(piece);
        };
        QObject::connect(socket, &QIODevice::bytesWritten, socket, [next](qint64) { (*next)(); });
        if (auto* ssl = qobject_cast<QSslSocket*>(socket.data()))
            QObject::connect(ssl, &QSslSocket::encryptedBytesWritten, ssl, [next](qint64) { (*next)(); });
        (*next)();
    }

    QTemporaryDir dir_;
    QSslServer server_;
    QSslCertificate certificate_;
    QHash<QString, Response> responses_;
    QHash<QString, int> requests_;
    QHash<QString, qint64> sent_;
};

inline bool writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions perms = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) return false;
    f.close();
    return perms == QFile::Permissions{} || f.setPermissions(perms);
}

// The names in a folder named by its bytes, which need not be UTF-8.
inline std::vector<std::string> namesIn(const QByteArray& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString()))
        names.push_back(entry.path().filename().string());
    return names;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A bundle folder: Info.json, an executable bin/quorvin, Resources/Changelog.json.
struct BundleSpec {
    QString identifier = QStringLiteral("com.pelwick.Quorvin");
    QString version = QStringLiteral("1.0");
    QString build = QStringLiteral("10");
    QByteArray program = "#!/bin/sh\necho quorvin\n";
};

inline void writeBundle(const QString& path, const BundleSpec& spec) {
    QJsonObject info{{"identifier", spec.identifier}, {"name", "Quorvin"}, {"version", spec.version},
                     {"build", spec.build}};
    writeFile(path + "/Info.json", QJsonDocument(info).toJson());
    writeFile(path + "/bin/quorvin", spec.program,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                  QFile::ReadOther | QFile::ExeOther);
    writeFile(path + "/Resources/Changelog.json",
              "[{\"version\":\"" + spec.version.toUtf8() + "\",\"date\":\"today\",\"notes\":[\"New.\"]}]");
}

// Writes the bundle's manifest and signs it.
inline bool signBundle(const QString& path, const Keys& keys) {
    const auto manifest = CodeSignature::makeManifest(path);
    if (!manifest) return false;
    return writeFile(path + "/" + CodeSignature::manifestPath, *manifest) &&
           writeFile(path + "/" + CodeSignature::signaturePath, keys.sign(*manifest).toLatin1() + "\n");
}

// A gzip stream of `bytes`.
inline QByteArray gzip(const QByteArray& bytes) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(bytes.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// A gzip stream that inflates to `size` zero bytes, made at once whatever the size: one
// megabyte's block, flushed so that it stands alone, repeated.
inline QByteArray gzipOfZeros(qint64 size) {
    constexpr qint64 mega = 1 << 20;
    const QByteArray zeros(mega, '\0');
    auto rawDeflate = [&](qint64 length, int flush) {
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        QByteArray out(qsizetype(deflateBound(&z, uLong(length)) + 16), '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
        z.avail_in = uInt(length);
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, flush);
        out.resize(out.size() - qsizetype(z.avail_out));
        deflateEnd(&z);
        return out;
    };
    const QByteArray block = rawDeflate(mega, Z_FULL_FLUSH);
    const uLong blockCrc = crc32(0, reinterpret_cast<const Bytef*>(zeros.constData()), uInt(mega));
    QByteArray out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    out.reserve(qsizetype(size / mega + 1) * block.size() + 64);
    uLong crc = crc32(0, nullptr, 0);
    for (qint64 i = 0; i < size / mega; ++i) {
        out += block;
        crc = crc32_combine(crc, blockCrc, mega);
    }
    const qint64 rest = size % mega;
    out += rawDeflate(rest, Z_FINISH);
    crc = crc32_combine(crc, crc32(0, reinterpret_cast<const Bytef*>(zeros.constData()), uInt(rest)), rest);
    for (const quint32 word : {quint32(crc), quint32(size)})
        for (int i = 0; i < 4; ++i) out += char((word >> (8 * i)) & 0xFF);
    return out;
}

// A zip archive written entry by entry.
class ZipBuilder {
public:
    ZipBuilder& file(const QString& name, const QByteArray& data, int mode = 0644) {
        entries_.push_back({name, AE_IFREG, data, mode, {}});
        return *this;
    }
    ZipBuilder& folder(const QString& name, int mode = 0755) {
        entries_.push_back({name, AE_IFDIR, {}, mode, {}});
        return *this;
    }
    ZipBuilder& symlink(const QString& name, const QString& target) {
        entries_.push_back({name, AE_IFLNK, {}, 0777, target});
        return *this;
    }
    // Every folder and file below `root` (which must hold plain files and folders only), named
    // with `top` first; the folders with `folderMode`, or without entries of their own if none.
    ZipBuilder& tree(const QString& root, const QString& top, std::optional<int> folderMode = 0755) {
        if (folderMode) folder(top + "/", *folderMode);
        QDir dir(root);
        for (const QFileInfo& info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                                       QDir::Name)) {
            const QString name = top + "/" + info.fileName();
            if (info.isDir()) {
                tree(info.filePath(), name, folderMode);
            } else {
                struct stat st {};
                ::lstat(QFile::encodeName(info.filePath()).constData(), &st);
                file(name, readFile(info.filePath()), int(st.st_mode & 07777));
            }
        }
        return *this;
    }

    QByteArray build() const {
        archive* a = archive_write_new();
        archive_write_set_format_zip(a);
        std::vector<char> buffer(64 * 1024 * 1024);
        size_t used = 0;
        archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
        for (const Entry& e : entries_) {
            archive_entry* entry = archive_entry_new();
            archive_entry_set_pathname(entry, e.name.toUtf8().constData());
            archive_entry_set_filetype(entry, e.type);
            archive_entry_set_perm(entry, e.mode);
            archive_entry_set_size(entry, e.type == AE_IFREG ? e.data.size() : 0);
            if (e.type == AE_IFLNK) archive_entry_set_symlink(entry, e.target.toUtf8().constData());
            archive_write_header(a, entry);
            if (e.type == AE_IFREG) archive_write_data(a, e.data.constData(), size_t(e.data.size()));
            archive_entry_free(entry);
        }
        archive_write_close(a);
        archive_write_free(a);
        return QByteArray(buffer.data(), qsizetype(used));
    }

    // Makes the named entry claim another file type (a device, a FIFO) in the central directory,
    // which zip writers will not write themselves.
    static QByteArray withEntryType(QByteArray zip, const QByteArray& name, mode_t type) {
        for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 4)) {
            auto u16 = [&](qsizetype o) { return quint16(uchar(zip[at + o]) | uchar(zip[at + o + 1]) << 8); };
            if (zip.mid(at + 46, u16(28)) != name) continue;
            const quint32 attributes = quint32(type | 0644) << 16;
            zip[at + 5] = 3;  // made on Unix: the mode counts
            for (int i = 0; i < 4; ++i) zip[at + 38 + i] = char((attributes >> (8 * i)) & 0xFF);
        }
        return zip;
    }

private:
    struct Entry {
        QString name;
        mode_t type;
        QByteArray data;
        int mode;
        QString target;
    };
    std::vector<Entry> entries_;
};

}  // namespace UpdateTestSupport
