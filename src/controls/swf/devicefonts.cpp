#include "controls/swf/devicefonts.h"

#include <QFontDatabase>
#include <QStringDecoder>
#include <QStringList>

#include <array>

namespace velmora::swf {

namespace {

enum class Kind { Sans, Serif, Mono };

struct Face {
    const char *family;
    Kind kind;
};

constexpr Face kLiberationSans{"Liberation Sans", Kind::Sans};
constexpr Face kLiberationSerif{"Liberation Serif", Kind::Serif};
constexpr Face kLiberationMono{"Liberation Mono", Kind::Mono};
constexpr Face kDejaVuSans{"DejaVu Sans", Kind::Sans};
constexpr Face kSansSC{"Noto Sans CJK SC", Kind::Sans};
constexpr Face kSerifSC{"Noto Serif CJK SC", Kind::Serif};
constexpr Face kSansTC{"Noto Sans CJK TC", Kind::Sans};
constexpr Face kSerifTC{"Noto Serif CJK TC", Kind::Serif};
constexpr Face kSansJP{"Noto Sans CJK JP", Kind::Sans};
constexpr Face kSerifJP{"Noto Serif CJK JP", Kind::Serif};
constexpr Face kSansKR{"Noto Sans CJK KR", Kind::Sans};
constexpr Face kSerifKR{"Noto Serif CJK KR", Kind::Serif};

struct Alias {
    const char *name; // UTF-8, compared after normalising (see key())
    Face face;
};

// Liberation's faces keep the widths of the Windows faces they stand for, so lines
// break where the author saw them break.
constexpr std::array kAliases{
    Alias{"_sans", kLiberationSans},
    Alias{"arial", kLiberationSans},
    Alias{"helvetica", kLiberationSans},
    Alias{"_serif", kLiberationSerif},
    Alias{"times new roman", kLiberationSerif},
    Alias{"times", kLiberationSerif},
    Alias{"_typewriter", kLiberationMono},
    Alias{"courier new", kLiberationMono},
    Alias{"courier", kLiberationMono},
    Alias{"verdana", kDejaVuSans},
    Alias{"tahoma", kDejaVuSans},
    // Simplified Chinese.
    Alias{"宋体", kSerifSC},
    Alias{"simsun", kSerifSC},
    Alias{"新宋体", kSerifSC},
    Alias{"nsimsun", kSerifSC},
    Alias{"仿宋", kSerifSC},
    Alias{"仿宋_gb2312", kSerifSC},
    Alias{"fangsong", kSerifSC},
    Alias{"楷体", kSerifSC},
    Alias{"楷体_gb2312", kSerifSC},
    Alias{"kaiti", kSerifSC},
    Alias{"黑体", kSansSC},
    Alias{"simhei", kSansSC},
    Alias{"微软雅黑", kSansSC},
    Alias{"microsoft yahei", kSansSC},
    Alias{"幼圆", kSansSC},
    Alias{"youyuan", kSansSC},
    // Traditional Chinese.
    Alias{"細明體", kSerifTC},
    Alias{"mingliu", kSerifTC},
    Alias{"新細明體", kSerifTC},
    Alias{"pmingliu", kSerifTC},
    Alias{"標楷體", kSerifTC},
    Alias{"dfkai-sb", kSerifTC},
    Alias{"微軟正黑體", kSansTC},
    Alias{"microsoft jhenghei", kSansTC},
    // Japanese.
    Alias{"ms ゴシック", kSansJP},
    Alias{"ms gothic", kSansJP},
    Alias{"ms pゴシック", kSansJP},
    Alias{"ms pgothic", kSansJP},
    Alias{"メイリオ", kSansJP},
    Alias{"meiryo", kSansJP},
    Alias{"ms 明朝", kSerifJP},
    Alias{"ms mincho", kSerifJP},
    Alias{"ms p明朝", kSerifJP},
    Alias{"ms pmincho", kSerifJP},
    // Korean.
    Alias{"굴림", kSansKR},
    Alias{"gulim", kSansKR},
    Alias{"돋움", kSansKR},
    Alias{"dotum", kSansKR},
    Alias{"바탕", kSerifKR},
    Alias{"batang", kSerifKR},
    Alias{"궁서", kSerifKR},
    Alias{"gungsuh", kSerifKR},
};

// Full-width letters (ＭＳ) folded, case and spaces ignored.
QString key(const QString &name)
{
    QString k = name.normalized(QString::NormalizationForm_KC).toLower();
    k.remove(QLatin1Char(' '));
    return k;
}

const Face *knownFace(const QString &name)
{
    const QString k = key(name);
    for (const Alias &alias : kAliases) {
        if (key(QString::fromUtf8(alias.name)) == k)
            return &alias.face;
    }
    return nullptr;
}

} // namespace

QString decodeFontName(const std::string &stored)
{
    const QByteArray bytes(stored.data(), static_cast<qsizetype>(stored.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString asUtf8 = utf8(bytes);
    if (!utf8.hasError() && knownFace(asUtf8))
        return asUtf8;
    for (const char *codePage : {"GBK", "Big5", "Shift_JIS", "EUC-KR"}) {
        QStringDecoder decoder(codePage, QStringDecoder::Flag::Stateless);
        if (!decoder.isValid())
            continue;
        QString name = decoder(bytes);
        if (!decoder.hasError() && knownFace(name))
            return name;
    }
    return utf8.hasError() ? QString::fromLatin1(bytes) : asUtf8;
}

QFont deviceFont(const QString &name, bool bold, bool italic, int pixelSize)
{
    // A face we do not know is used when installed; otherwise the player's default face.
    const Face *face = knownFace(name);
    const bool installed = !face && !name.isEmpty() && QFontDatabase::hasFamily(name);
    if (!face && !installed)
        face = &kLiberationSerif;
    QStringList families{installed ? name : QString::fromLatin1(face->family)};
    const Kind kind = face ? face->kind : Kind::Sans;
    // Characters the face lacks (Chinese in a Latin face) come from the CJK face of its kind.
    families << QString::fromLatin1(kind == Kind::Serif ? kSerifSC.family : kSansSC.family);
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(std::max(1, pixelSize));
    font.setBold(bold);
    font.setItalic(italic);
    font.setKerning(false);
    // The player drew system text without smoothing.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace velmora::swf
