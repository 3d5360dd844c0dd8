#pragma once

#include <QString>

#include "platform/form.h"

// "分享脚本": uploads the current script document's stored file, a box made from it with the
// default skin, or both, to the site's share page, and tells the user the site's answer.
// The controls: the options "shareOption_0" (source and box, chosen at each load),
// "shareOption_1" (source only) and "shareOption_2" (box only), shareCommand and exitCommand.
class ShareWndForm : public platform::Form {
    Q_OBJECT
  public:
    static ShareWndForm& instance();

    // Posts the share form to the site and waits for its answer: "ok" or "has" when the
    // first 1024 bytes of the reply are exactly that word, else "error" (no reply within the
    // site's time limit included). The values go into the body unencoded, as the site reads
    // them, in ANSI. why, when given, tells in words for the user why an "error" is one: no
    // connection, no answer in time, an error page, or an answer the share page never gives.
    QString postShare(const QString& name, const QString& information, const QString& openText,
                      const QString& closeText, QString* why = nullptr);

    // The request body postShare sends, before its conversion to ANSI.
    static QString shareBody(const QString& name, const QString& information,
                             const QString& openText, const QString& closeText);

    // The temporary box the upload is built in: the program folder's "upload.tmp".
    static QString uploadBoxPath();

  protected:
    void onLoad(QWidget* window) override;

  private:
    ShareWndForm();
    void shareClicked();
    int selectedOption() const;

    bool busy_ = false;  // one upload at a time
};
