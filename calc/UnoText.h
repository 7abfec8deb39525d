#pragma once
// Text between Qt and UNO. Japanese texts go through UTF-16 directly, never
// through a narrow literal.
#include <QString>
#include <rtl/ustring.hxx>

namespace calc {

inline rtl::OUString toOU(const QString& s) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), static_cast<sal_Int32>(s.size()));
}

inline QString fromOU(const rtl::OUString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength());
}

}  // namespace calc
