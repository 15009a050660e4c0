#include "ui/DragData.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QUrl>

namespace orvo {

const char* const kPhoneNamesMimeType = "application/x-orvo-phone-names";

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    return paths;
}

QMimeData* PhoneNamesMimeData(const std::vector<Bytes>& names) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(names.size());
    for (const Bytes& name : names) out << QByteArray(name.data(), qsizetype(name.size()));
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kPhoneNamesMimeType), bytes);
    return data;
}

std::vector<Bytes> PhoneNames(const QMimeData* data) {
    std::vector<Bytes> names;
    if (!data || !data->hasFormat(QString::fromLatin1(kPhoneNamesMimeType)))
        return names;
    QDataStream in(data->data(QString::fromLatin1(kPhoneNamesMimeType)));
    quint32 count = 0;
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray name;
        in >> name;
        if (in.status() != QDataStream::Ok)
            break;
        names.emplace_back(name.constData(), std::size_t(name.size()));
    }
    return names;
}

}  // namespace orvo
