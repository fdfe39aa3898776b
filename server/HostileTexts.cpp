#include "server/HostileTexts.h"

#include <QBuffer>
#include <QImage>

#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

const QStringList& hostileNames()
{
    static const QStringList names = {
        u"蒙牛 纯牛奶 250ml*12盒"_s,
        u"<img src=\"/dev/zero\">"_s,
        u"<img src=\"file:///etc/hostname\">本地图片"_s,
        u"<font size=7>巨大字体</font>正品 手机"_s,
        u"<b>加粗</b> &lt;i&gt;实体&lt;/i&gt; &amp;amp; 商品"_s,
        u"=HYPERLINK(\"http://evil.example/\",\"click\")"_s,
        u"=1+1"_s,
        u"+2*3 手机"_s,
        u"-1+2 手机"_s,
        u"@SUM(A1:A2)"_s,
        u"\t=3*3"_s,
        u"正品\u202Egnp.exe\u202C 手机"_s,
        u"\u2066隔离\u2069 \u202A嵌入\u202C 商品"_s,
        QString(51200, u'长'),
        u"第一行\r\n第二行"_s,
    };
    return names;
}

const QStringList& hostilePromotions()
{
    static const QStringList promotions = {
        u"=1+1"_s,
        u"<a href=\"http://evil.example/\">点我领券</a>"_s,
        u"-5%"_s,
        u"@cmd"_s,
        u"+86 400 800"_s,
        u"\u202E惠优\u202C"_s,
        u"<img src=\"/dev/zero\">"_s,
        u"满100减20"_s,
        u"\r\n换行促销"_s,
        QString(),
    };
    return promotions;
}

const QStringList& junkPrices()
{
    static const QStringList prices = {
        u"NaN"_s, u"1e308"_s,    u"-5"_s, u"abc"_s,  QString(),    u"12345678901.00"_s, u"0"_s,  u"0.00"_s,
        u"inf"_s, u"1,299.00"_s, u"+3"_s, u"58.5"_s, u"1299.00"_s, u"9999999999.99"_s,  u"58"_s,
    };
    return prices;
}

const QByteArray& hugeHeaderJpeg()
{
    static const QByteArray jpeg = [] {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG", 80))
            throw std::runtime_error("stand-in server: cannot encode a JPEG picture");
        // SOF0: FF C0, length (2), precision (1), height (2), width (2), components (1).
        const qsizetype sof = bytes.indexOf("\xFF\xC0");
        if (sof < 0 || sof + 10 > bytes.size() || bytes.at(sof + 9) != 3)
            throw std::runtime_error("stand-in server: no baseline colour frame header to patch");
        for (qsizetype at : {sof + 5, sof + 6, sof + 7, sof + 8})
            bytes[at] = '\xFF';
        return bytes;
    }();
    return jpeg;
}

} // namespace kova::standin
