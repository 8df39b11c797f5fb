#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <gtest/gtest.h>

#include <memory>

namespace corvina::test {

// The control of type T that a window names `name` (its objectName): a direct child of the
// window when there is one, else the only such descendant. Null, and a test failure, when
// there is none or the name is ambiguous.
template <typename T> T *control(const QObject *window, const char *name)
{
    const QString wanted = QString::fromLatin1(name);
    QList<T *> found = window->findChildren<T *>(wanted, Qt::FindDirectChildrenOnly);
    if (found.isEmpty())
        found = window->findChildren<T *>(wanted);
    if (found.size() != 1) {
        ADD_FAILURE() << found.size() << " controls named " << name;
        return nullptr;
    }
    return found.front();
}

template <typename T, typename W> T *control(const std::unique_ptr<W> &window, const char *name)
{
    return control<T>(window.get(), name);
}

} // namespace corvina::test
