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

struct ControlHtml {
    QString nombre;
    QString tipo;          // lower case: "hidden", "text", "submit", "checkbox", "select", "textarea"...
    QString valor;         // the current value (for a select, its selected option's)
    bool marcado = false;  // checkboxes and radios
    bool desactivado = false;
};

struct FormularioHtml {
    bool encontrado = false;
    QUrl accion;             // resolved against the page (and its <base>)
    bool post = false;
    QList<ControlHtml> controles;

    // The first control with that name; nullptr when the form has none.
    ControlHtml *control(const QString &name);
    const ControlHtml *control(const QString &name) const;
};

// What a page may be before it is parsed at all: the gateway's form and result pages are a few
// kilobytes and shallow; anything far beyond that is not a page of the gateway's, and parsing it
// would hold the window for seconds or minutes.
inline constexpr qsizetype kTamanoMaximoPagina = 2 * 1024 * 1024; // bytes, as UTF-8
inline constexpr int kAnidamientoMaximo = 512;                    // elements inside one another

struct PaginaHtml {
    bool valida = true;      // false: too large or nested too deep; not parsed, nothing else set
    QString textoCuerpo;     // the body's visible text, blanks collapsed and trimmed
    QString htmlCuerpo;      // the body's source between its tags, as the page wrote it
    FormularioHtml formulario; // the page's first form
};

// A page that is not HTML at all parses to a body of text and no form; one past the bounds above
// comes back not valid.
PaginaHtml analizarPagina(const QString &html, const QUrl &url);

// How the bytes of a submission are written: the page's charset.
enum class Charset { Windows1252, Utf8 };
Charset juegoDe(const QByteArray &contentType);

// `application/x-www-form-urlencoded` of the successful controls, the button named `boton`
// counting as the one clicked. A character the charset lacks goes as "&#NNNN;", as browsers do.
QByteArray codificarEnvio(const FormularioHtml &form, const QString &button, Charset charset);

} // namespace automation::birthdays
