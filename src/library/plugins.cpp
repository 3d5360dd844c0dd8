#include "library/plugins.h"

namespace ScriptModule {

namespace {
bool exists = false;
QStringList& stored() {
    static QStringList list;
    return list;
}
}  // namespace

bool pluginCollectionExists() {
    return exists;
}

QStringList& pluginCollection() {
    // Whatever a caller may have put into the stand-in list is dropped, so it stays empty.
    if (!exists) stored().clear();
    return stored();
}

void setPluginCollection(const QStringList& lines) {
    stored() = lines;
    exists = true;
}

void resetPluginCollectionForTest() {
    stored().clear();
    exists = false;
}

}  // namespace ScriptModule
