#pragma once
// The engine's number texts in the user's decimal separator. The formats take
// a one-byte separator; one outside ASCII is put in afterwards.
#include <QLocale>
#include <QString>
#include <string>

class TLocalSeparator {
public:
    TLocalSeparator() : Point(QLocale().decimalPoint()), Ascii(Point.size() == 1 && Point.front().unicode() < 0x80) {}

    // The separator to hand to the formats.
    char Byte() const { return Ascii ? Point.front().toLatin1() : '.'; }

    // A text the formats wrote with Byte().
    QString Text(const std::string& formatted) const
    {
        QString text = QString::fromStdString(formatted);
        if (!Ascii) text.replace(u'.', Point);
        return text;
    }

private:
    QString Point;
    bool Ascii;
};
