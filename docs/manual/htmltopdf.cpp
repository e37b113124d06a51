// Turns the HTML manual into a PDF at build time with Qt's own text layout, so no network and no
// external converter is needed.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

static bool readHtml(const QString &path, QString &html) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    html = QString::fromUtf8(file.readAll());
    return true;
}

// Pictures are named relative to the manual's own folder; QTextDocument loads local images through
// its resource lookup, which is handed each picture here.
static bool addImages(QTextDocument &document, const QString &html, const QDir &folder) {
    bool complete = true;
    const QRegularExpression source(QStringLiteral("<img[^>]*\\ssrc=\"([^\"]+)\""));
    for (auto it = source.globalMatch(html); it.hasNext();) {
        const QString name = it.next().captured(1);
        const QImage image(folder.filePath(name));
        if (image.isNull()) {
            std::fprintf(stderr, "cannot read the picture %s\n", qPrintable(folder.filePath(name)));
            complete = false;
        }
        document.addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    return complete;
}

static bool layOut(QTextDocument &document, const QString &html, const QString &sourcePath) {
    const bool complete = addImages(document, html, QFileInfo(sourcePath).absoluteDir());
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setHtml(html);
    return complete;
}

static bool writePdf(QTextDocument &document, const QString &path) {
    QPdfWriter writer(path);
    writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
    writer.setCreator(QStringLiteral("ZEVR-3G-Config"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 15, 15, 15),
                                     QPageLayout::Millimeter));
    document.print(&writer);
    return QFileInfo(path).size() > 0;
}

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s MANUAL.html OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    QString html;
    if (!readHtml(args.at(1), html)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QTextDocument document;
    // A manual with a picture missing is not built, so the gap cannot go unnoticed.
    if (!layOut(document, html, args.at(1)))
        return 1;
    if (!writePdf(document, args.at(2))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
