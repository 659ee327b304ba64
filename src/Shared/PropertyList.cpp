#include "Shared/PropertyList.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include <plist/plist.h>

namespace {

// Deeper than any real file; stops a hostile one from exhausting the stack.
constexpr int kMaxDepth = 32;

QString takeText(char *text)
{
    const QString value = text ? QString::fromUtf8(text) : QString();
    std::free(text);
    return value;
}

QVariant toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        // libplist keeps negative integers as their two's-complement bit pattern.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0.0;
        plist_get_real_val(node, &value);
        return std::isfinite(value) ? value : 0.0;
    }
    case PLIST_STRING: {
        char *text = nullptr;
        plist_get_string_val(node, &text);
        return takeText(text);
    }
    case PLIST_KEY: {
        char *text = nullptr;
        plist_get_key_val(node, &text);
        return takeText(text);
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        const QByteArray value(bytes, bytes ? qsizetype(length) : 0);
        std::free(bytes);
        return value;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
            list.append(toVariant(plist_array_get_item(node, i), depth + 1));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return map;
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            map.insert(takeText(key), toVariant(value, depth + 1));
        }
        std::free(it);
        return map;
    }
    default: // dates and keyed-archive ids
        return {};
    }
}

} // namespace

QVariant PropertyList::read(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > qsizetype(std::numeric_limits<uint32_t>::max()))
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return {};
    const QVariant value = toVariant(root, 0);
    plist_free(root);
    return value;
}

QVariantMap PropertyList::readDictionary(const QByteArray &bytes)
{
    const QVariant value = read(bytes);
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}
