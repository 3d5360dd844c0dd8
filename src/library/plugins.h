#pragma once

#include <QStringList>

// The plug-in list downloaded at start-up: one element per line as received, empty lines
// included, each a plug-in name, "=" and the address of its script. It does not exist before
// the first download.
namespace ScriptModule {

bool pluginCollectionExists();

// The list; while none exists, an empty list (which does not make it exist).
QStringList& pluginCollection();

// Replaces the list; from then on it exists.
void setPluginCollection(const QStringList& lines);

// Back to "never downloaded"; only tests call it.
void resetPluginCollectionForTest();

}  // namespace ScriptModule
