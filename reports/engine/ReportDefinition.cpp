#include "ReportDefinition.h"

ReportElement ReportElement::label(QString caption, MmRect box)
{
    ReportElement e;
    e.kind = Kind::Label;
    e.text = std::move(caption);
    e.box = box;
    return e;
}

ReportElement ReportElement::fieldText(Cursor *cursor, QString field, MmRect box, QString mask)
{
    ReportElement e;
    e.kind = Kind::FieldText;
    e.cursor = cursor;
    e.field = std::move(field);
    e.box = box;
    e.mask = std::move(mask);
    return e;
}

ReportElement ReportElement::fieldList(Cursor *cursor, QStringList fields, QString separator, MmRect box)
{
    ReportElement e;
    e.kind = Kind::FieldList;
    e.cursor = cursor;
    e.fields = std::move(fields);
    e.separator = std::move(separator);
    e.box = box;
    return e;
}

ReportElement ReportElement::expressionText(QString expression, MmRect box, QString mask, bool sum)
{
    ReportElement e;
    e.kind = Kind::Expression;
    e.expression = std::move(expression);
    e.box = box;
    e.mask = std::move(mask);
    e.sum = sum;
    return e;
}

ReportElement ReportElement::fixedPicture(QImage picture, MmRect box)
{
    ReportElement e;
    e.kind = Kind::Picture;
    e.picture = std::move(picture);
    e.box = box;
    return e;
}

ReportElement ReportElement::fieldPicture(Cursor *cursor, QString field, MmRect box)
{
    ReportElement e;
    e.kind = Kind::FieldPicture;
    e.cursor = cursor;
    e.field = std::move(field);
    e.box = box;
    return e;
}

ReportElement ReportElement::systemData(System system, MmRect box, QString leadingText)
{
    ReportElement e;
    e.kind = Kind::SystemData;
    e.system = system;
    e.box = box;
    e.text = std::move(leadingText);
    return e;
}

ReportElement ReportElement::drawing(MmRect box, std::function<void(ReportCanvas &canvas)> draw)
{
    ReportElement e;
    e.kind = Kind::Drawing;
    e.box = box;
    e.draw = std::move(draw);
    e.transparent = true;
    return e;
}
