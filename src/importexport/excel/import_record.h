#pragma once

#include "importexport/excel/record_sheet.h"

#include <QDate>
#include <QString>

#include <optional>

// One record of the sheet turned into a contact: cells read and cut, phones cleaned and
// normalised, the mobile number put first, the birth date checked.
namespace importexport::excel {

inline constexpr int kTextWidth = 250;
inline constexpr int kPhoneWidth = 50;

struct Contact {
    QString name;
    QString phone;
    QString fullName;
    QString address;
    QString otherPhone;
    QString comment;
    QString birthDate;     // as stored: yyyy-MM-dd, or empty
};

struct Record {
    Contact contact;
    bool valid = false;      // a name and a mobile phone of more than 7 digits
};

// A phone fails the mobile test when it is not all digits, or when it is a nine-digit number that
// starts with 9 or 8 (a Spanish landline).
bool passesMobileTest(const QString &phone);

// A birth date as a sheet may hold it: "dd/MM/yyyy" (what a date cell reads as), "d/M/yyyy",
// "dd-MM-yyyy", "yyyy-MM-dd", optionally followed by a time of day. Nothing for anything else.
std::optional<QDate> parseDate(const QString &raw);
// A stored birth date (yyyy-MM-dd) as the user reads it, "dd/MM/yyyy"; other texts unchanged.
QString dateForDisplay(const QString &stored);

Record readRecord(const RecordSheet &sheet, int record, const FieldColumns &columns);

// The look-ahead's test: the record holds a name and something in one of its phone cells.
bool hasNameAndPhone(const RecordSheet &sheet, int record, const FieldColumns &columns);

} // namespace importexport::excel
