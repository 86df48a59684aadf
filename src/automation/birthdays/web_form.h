#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The gateway's own HTML form, handled as a browser would: the page parsed (gumbo), the first
// form found with its controls, named fields filled, and the submission built the way a browser
// builds it (every successful control in document order, the clicked button, the form's method
// and its action resolved against the page).
namespace automation::birthdays {

struct HtmlControl {
    QString name;
    QString type;          // lower case: "hidden", "text", "submit", "checkbox", "select", "textarea"...
    QString value;         // the current value (for a select, its selected option's)
    bool checked = false;  // checkboxes and radios
    bool disabled = false;
};

struct HtmlForm {
    bool found = false;
    QUrl action;             // resolved against the page (and its <base>)
    bool post = false;
    QList<HtmlControl> controls;

    // The first control with that name; nullptr when the form has none.
    HtmlControl *control(const QString &name);
    const HtmlControl *control(const QString &name) const;
};

// What a page may be before it is parsed at all: the gateway's form and result pages are a few
// kilobytes and shallow; anything far beyond that is not a page of the gateway's, and parsing it
// would hold the window for seconds or minutes.
inline constexpr qsizetype kMaxParsedPageSize = 2 * 1024 * 1024; // bytes, as UTF-8
inline constexpr int kMaxNesting = 512;                    // elements inside one another
inline constexpr int kMaxTagAttributes = 256;              // on one tag (the html and body tags: all of them together)
inline constexpr int kMaxPageAttributes = 20000;           // on all the page's tags
// Copies of misnested formatting elements the parser would make while bringing them back, summed
// over the page, an element counting as four of its attributes.
inline constexpr qint64 kMaxReopenedCopies = 400 * 1000;

struct HtmlPage {
    bool valid = true;      // false: past one of the bounds above; not parsed, nothing else set
    QString bodyText;     // the body's visible text, blanks collapsed and trimmed
    QString bodyHtml;      // the body's source between its tags, as the page wrote it
    HtmlForm form; // the page's first form
};

// A page that is not HTML at all parses to a body of text and no form; one past the bounds above
// comes back not valid.
HtmlPage parsePage(const QString &html, const QUrl &url);

// How the bytes of a submission are written: the page's charset.
enum class Charset { Windows1252, Utf8 };
Charset charsetOf(const QByteArray &contentType);

// `application/x-www-form-urlencoded` of the successful controls, the button named `boton`
// counting as the one clicked. A character the charset lacks goes as "&#NNNN;", as browsers do.
QByteArray encodeSubmission(const HtmlForm &form, const QString &button, Charset charset);

} // namespace automation::birthdays
