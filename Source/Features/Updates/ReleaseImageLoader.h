#pragma once

#include <QHash>
#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSslConfiguration>
#include <QUrl>

#include <memory>
#include <optional>

class SerialQueue;

// Fetches the pictures that release notes name: only over https, at most `largestImage` bytes as sent
// and once inflated (a download stops as soon as it says or shows it is larger), decoded away from
// the GUI thread and only when no side is larger than `largestSide`. Pictures are kept once loaded;
// why one is not is logged.
class ReleaseImageLoader : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 largestImage = 8 * 1024 * 1024;
    static constexpr int largestSide = 4096;

    static ReleaseImageLoader& shared();
    explicit ReleaseImageLoader(QObject* parent = nullptr);
    ~ReleaseImageLoader() override;

    void setNetworkAccessManager(QNetworkAccessManager* network) { network_ = network; }
    void setSslConfiguration(const QSslConfiguration& configuration) { ssl_ = configuration; }

    // Whether a release picture may be fetched from the address: https with a host.
    static bool isAllowed(const QUrl& url);

    // The picture when it has been loaded.
    std::optional<QImage> image(const QUrl& url) const;
    // Starts fetching the picture unless it is loaded or on its way; loaded() or failed() follows.
    void load(const QUrl& url);

signals:
    void loaded(const QUrl& url, const QImage& image);
    void failed(const QUrl& url);

private:
    QNetworkAccessManager* network();
    void decoded(const QUrl& url, const QImage& image, const QString& problem);
    void refused(const QUrl& url, const QString& problem);

    QPointer<QNetworkAccessManager> network_;
    std::optional<QSslConfiguration> ssl_;
    std::unique_ptr<SerialQueue> queue_;
    QHash<QUrl, QImage> images_;
    QSet<QUrl> loading_;
};
