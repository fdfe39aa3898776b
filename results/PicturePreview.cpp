#include "results/PicturePreview.h"

#include "service/HttpClient.h"
#include "service/PictureDownload.h"
#include "store/Error.h"
#include "store/JpegLoader.h"
#include "store/PictureCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

namespace kova {

QImage LoadLargePicture(HttpClient& http, const PictureCache& cache, const QString& cph, const QString& dtp)
{
    if (dtp.isEmpty())
        throw Error(QStringLiteral("该商品没有大图片地址"));
    if (cache.isRefused())
        throw Error(QStringLiteral("图片缓存文件夹 %1 不能使用，本次运行不显示商品图片。")
                        .arg(QDir::toNativeSeparators(cache.folder())));
    const QString path = cache.largePicturePath(cph);
    if (path.isEmpty())
        throw Error(QStringLiteral("商品编号不能用作图片文件名：%1").arg(cph));

    downloadPicture(http, dtp, path);
    if (!QFileInfo::exists(path))
        QThread::msleep(1000);

    JpegResult loaded = loadJpegFile(path, QSize(LargePictureSide, LargePictureSide));
    if (loaded.image.isNull()) {
        // A picture that cannot be shown now never will be: drop it so the next click
        // fetches a fresh copy instead of failing on the same file for ever.
        QFile::remove(path);
        throw Error(QStringLiteral("大图片无法显示（%1）：%2").arg(QFileInfo(path).fileName(), loaded.error));
    }
    return std::move(loaded.image);
}

QPoint ResultPreviewPosition(QPoint current, int gridMouseY, QSize panel, const QRect& inside)
{
    const int bottom = inside.bottom() + 1 - panel.height();
    return {current.x(), std::max(inside.top(), std::min(gridMouseY - 55, bottom))};
}

LargePictureDownload::LargePictureDownload(QString cph, QString dtp, PictureCache cache, QObject* parent)
    : QThread(parent), m_cph(std::move(cph)), m_dtp(std::move(dtp)), m_cache(std::move(cache)),
      m_http(std::make_unique<HttpClient>())
{
}

LargePictureDownload::~LargePictureDownload()
{
    cancel();
    wait();
}

void LargePictureDownload::setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall)
{
    m_http->setConnectTimeout(connect);
    m_http->setStallTimeout(stall);
}

void LargePictureDownload::cancel()
{
    m_http->cancel();
}

void LargePictureDownload::run()
{
    try {
        m_picture = LoadLargePicture(*m_http, m_cache, m_cph, m_dtp);
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
    }
    emit Ready();
}

} // namespace kova
