#pragma once

#include <QString>

class QLabel;

namespace ScriptModule {

// Shows the picture found at address (a web address or a local file path) on the control.
// The picture is fetched into "tmppp" of the program folder; the routine lets window events
// run while it waits for that file and gives up between three and four seconds after it
// started. A failed fetch, a picture over 4 MB, a file that is no picture (BMP, JPEG, GIF, PNG) and
// a null control leave the control as it was. The temporary file never outlives the call.
// The wait lets other handlers run, another load among them: only the control's latest load
// sets its picture, one that an earlier load would otherwise overwrite when it ends later.
void loadPictureFromUrl(QLabel* picture, const QString& address);

// Makes the loads under way for the control set nothing when they end: the picture they would
// show is no longer wanted (another script was picked, one without an icon or none at all).
void supersedePictureLoads(QLabel* picture);

}  // namespace ScriptModule
