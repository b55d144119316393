#include "SampleData.h"

#include "Random.h"

#include <iterator>

namespace SampleData {

namespace {

Money amount(qint64 cents)
{
    return Money::fromRaw(cents * (Money::Scale / 100));
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const char *const WomenNames[] = {
    "María José", "Lucía", "Sofía", "Valentina", "Camila", "Florencia", "Julieta", "Rocío", "Milagros",
    "Inés", "Belén", "Mónica", "Verónica", "Noelia", "Ángeles", "Carolina", "Gabriela", "Laura", "Natalia",
    "Silvina", "Paula", "Mariana", "Daniela", "Romina", "Antonella", "Agustina", "Lorena", "Cecilia",
};
const char *const WomenSecondNames[] = {"Ana", "Luz", "Belén", "Inés", "Soledad", "Victoria", "Pilar"};

const char *const MenNames[] = {
    "Juan Martín", "Martín", "Joaquín", "Agustín", "Tomás", "Nicolás", "Matías", "Sebastián", "Ramón",
    "Andrés", "Facundo", "Hernán", "Germán", "Rubén", "Iván", "Diego", "Pablo", "Santiago", "Federico",
    "Gonzalo", "Ezequiel", "Leandro", "Emiliano", "Maximiliano", "José Luis", "Héctor", "Óscar", "Raúl",
};
const char *const MenSecondNames[] = {"Andrés", "Ignacio", "Manuel", "Javier", "Tomás", "Alberto", "Ramón"};

const char *const Surnames[] = {
    "Fernández", "González", "Rodríguez", "López", "Martínez", "García", "Pérez", "Sánchez", "Romero", "Sosa",
    "Álvarez", "Torres", "Ruiz", "Ramírez", "Flores", "Benítez", "Acosta", "Medina", "Herrera", "Suárez",
    "Aguirre", "Giménez", "Gutiérrez", "Pereyra", "Rojas", "Molina", "Castro", "Ortiz", "Silva", "Núñez",
    "Luna", "Juárez", "Cabrera", "Ríos", "Morales", "Godoy", "Domínguez", "Vázquez", "Méndez", "Peralta",
    "Quiroga", "Ibáñez", "Muñoz", "Ledesma", "Villalba", "Paz", "Correa", "Ojeda", "Figueroa", "Cáceres",
};

const char *const Streets[] = {
    "Av. Corrientes", "Av. Rivadavia", "Av. de Mayo", "Bartolomé Mitre", "San Martín", "Belgrano", "Sarmiento",
    "Av. Colón", "Bv. Oroño", "Güemes", "Av. Santa Fe", "Lavalle", "Tucumán", "Moreno", "Entre Ríos",
    "Calle de Alcalá", "Gran Vía", "Av. 18 de Julio", "Paseo Colón", "Av. Pellegrini",
};

struct City
{
    const char *name;
    const char *phone; // '#' stands for a digit
};

const City Cities[] = {
    {"CABA", "+54 9 11 ####-####"},         {"Córdoba", "+54 9 351 ###-####"},
    {"Rosario", "+54 9 341 ###-####"},      {"Mendoza", "+54 9 261 ###-####"},
    {"Mar del Plata", "+54 9 223 ###-####"}, {"Salta", "+54 9 387 ###-####"},
    {"La Plata", "+54 9 221 ###-####"},     {"Neuquén", "+54 9 299 ###-####"},
    {"San Miguel de Tucumán", "+54 9 381 ###-####"}, {"Montevideo", "+598 9# ### ###"},
    {"Madrid", "+34 6## ### ###"},          {"Sevilla", "+34 6## ### ###"},
};

const char *const MailDomains[] = {
    "gmail.com", "hotmail.com", "yahoo.com.ar", "outlook.com", "fibertel.com.ar", "live.com.ar",
};

template<std::size_t N>
QString pickText(Random &random, const char *const (&items)[N])
{
    return text(items[random.between(0, int(N) - 1)]);
}

// Lower-case ASCII letters of a name, for an e-mail address: "Núñez" gives "nunez".
QString mailWord(const QString &name)
{
    QString out;
    for (const QChar c : name.normalized(QString::NormalizationForm_D).toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            out += c;
    }
    return out;
}

QString withDigits(Random &random, const char *pattern)
{
    QString out = text(pattern);
    for (QChar &c : out) {
        if (c == u'#')
            c = QChar(u'0' + random.between(0, 9));
    }
    return out;
}

} // namespace

QList<RoomType> roomTypes()
{
    using RoomPictures::Furnishing;
    return {
        {text("Simple"), amount(4550),
         text("Habitación individual, pensada para viajeros de negocios: cama de una plaza, escritorio amplio y baño "
              "privado con ducha."),
         text("Wi-Fi gratuito\nAire acondicionado\nTV LED de 32\"\nEscritorio\nCaja de seguridad\nSecador de pelo"),
         1, Furnishing::Single},
        {text("Doble"), amount(8000),
         text("Habitación amplia con cama matrimonial o dos camas de una plaza, sillón de lectura y baño completo."),
         text("Wi-Fi gratuito\nAire acondicionado\nTV LED de 40\"\nFrigobar\nCaja de seguridad\nBaño con bañera"),
         2, Furnishing::Double},
        {text("Triple"), amount(11000),
         text("Tres camas de una plaza, placard grande y baño completo: cómoda para grupos de amigos o familias."),
         text("Wi-Fi gratuito\nAire acondicionado\nTV LED de 40\"\nFrigobar\nPlacard amplio"),
         3, Furnishing::Triple},
        {text("Suite"), amount(18500),
         text("Dormitorio y living separados, cama king size, balcón y baño con hidromasaje. Incluye desayuno "
              "en la habitación."),
         text("Wi-Fi de alta velocidad\nClimatización individual\nDos TV LED de 50\"\nMinibar\nCafetera espresso\n"
              "Bata y pantuflas\nHidromasaje"),
         2, Furnishing::Suite},
        {text("Familiar"), amount(15000),
         text("Dos ambientes comunicados con cama matrimonial y cucheta, ideal para familias con chicos."),
         text("Wi-Fi gratuito\nAire acondicionado\nTV LED de 40\"\nFrigobar\nMicroondas\nCuna a pedido"),
         4, Furnishing::Family},
    };
}

QList<Service> services()
{
    return {
        {text("Desayuno"), amount(950), 7, 10},
        {text("Lavandería"), amount(1400), 9, 18},
        {text("Minibar"), amount(875), 12, 23},
        {text("Cochera"), amount(1200), 8, 22},
        {text("Spa"), amount(3500), 10, 19},
        {text("Cena"), amount(2850), 20, 23},
        {text("Traslado al aeropuerto"), amount(4000), 5, 21},
        {text("Llamada internacional"), amount(630), 9, 22},
        {text("Room service"), amount(1890), 11, 23},
        {text("Cuna adicional"), amount(1000), 14, 20},
    };
}

const QStringList &views()
{
    static const QStringList all{text("Mar"), text("Ciudad"), text("Interior")};
    return all;
}

QList<Room> demoRooms()
{
    enum { Simple, Doble, Triple, Suite, Familiar };
    const QString mar = views()[0], ciudad = views()[1], interior = views()[2];
    return {
        {text("101"), 1, interior, Simple}, {text("102"), 1, ciudad, Doble},   {text("103"), 1, ciudad, Doble},
        {text("104"), 1, interior, Triple}, {text("105"), 1, ciudad, Simple},  {text("106"), 1, interior, Familiar},
        {text("107"), 1, ciudad, Doble},    {text("201"), 2, mar, Doble},      {text("202"), 2, mar, Doble},
        {text("203"), 2, mar, Suite},       {text("204"), 2, ciudad, Triple},  {text("205"), 2, interior, Simple},
        {text("206"), 2, ciudad, Familiar}, {text("207"), 2, interior, Doble}, {text("301"), 3, mar, Suite},
        {text("302"), 3, mar, Doble},       {text("303"), 3, mar, Triple},     {text("304"), 3, ciudad, Familiar},
        {text("305"), 3, interior, Simple}, {text("306"), 3, ciudad, Doble},
    };
}

QList<Room> generatedRooms(int count, Random &random)
{
    // Type shares in per mille, in the order of roomTypes(): a hotel has more
    // doubles than suites.
    const int typeShares[] = {200, 400, 150, 100, 150};
    const int floors = 3;
    const int perFloor = (count + floors - 1) / floors;
    int base = 100;
    while (base <= perFloor)
        base *= 10;
    QList<Room> rooms;
    rooms.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int floor = 1 + i / perFloor;
        const int onFloor = 1 + i % perFloor;
        int draw = random.between(0, 999);
        int type = 0;
        while (draw >= typeShares[type]) {
            draw -= typeShares[type];
            ++type;
        }
        // Sea view for the upper floors' front rooms, the rest city or inside.
        const int viewDraw = random.between(0, 9);
        const QString &view = views()[floor > 1 && viewDraw < 4 ? 0 : (viewDraw < 7 ? 1 : 2)];
        rooms.append({QString::number(qint64(floor) * base + onFloor), floor, view, type});
    }
    return rooms;
}

QList<Guest> demoGuests()
{
    const char *const rows[][5] = {
        {"María José Fernández", "27456812", "Av. Corrientes 1834, CABA", "+54 9 11 4523-7781", "mjfernandez@gmail.com"},
        {"Juan Martín Gutiérrez", "30112457", "Bv. Oroño 1420, Rosario", "+54 9 341 556-2310", "jmgutierrez@hotmail.com"},
        {"Lucía Benítez", "35874120", "San Martín 455, Mendoza", "+54 9 261 441-9032", "lucia.benitez@yahoo.com.ar"},
        {"Joaquín Álvarez Ríos", "28963014", "Calle de Alcalá 210, Madrid", "+34 612 448 903", "joaquin.alvarez@outlook.com"},
        {"Sofía Núñez", "40125963", "Av. Colón 1120, Córdoba", "+54 9 351 662-4418", "sofinunez@gmail.com"},
        {"Ramón Ibáñez", "17458220", "Güemes 3012, Mar del Plata", "+54 9 223 475-1206", "ramon.ibanez@fibertel.com.ar"},
        {"Inés Peralta de Quiroga", "22301458", "Belgrano 780, Salta", "+54 9 387 430-5567", "ines.peralta@gmail.com"},
        {"Agustín Domínguez", "38741025", "Av. 18 de Julio 1455, Montevideo", "+598 94 512 336", "agus.dominguez@gmail.com"},
        {"Valentina Suárez", "41236985", "Lavalle 1570, CABA", "+54 9 11 6034-2297", "valesuarez@hotmail.com"},
        {"Héctor Cáceres", "14523698", "Entre Ríos 912, Rosario", "+54 9 341 620-1175", "hcaceres@live.com.ar"},
        {"Camila Rodríguez Peña", "39854712", "Av. Santa Fe 2240, CABA", "+54 9 11 5128-3346", "camila.rp@gmail.com"},
        {"Tomás Giménez", "33698521", "Sarmiento 641, La Plata", "+54 9 221 589-4470", "tomas.gimenez@yahoo.com.ar"},
        {"Florencia Méndez", "36258741", "Moreno 1288, Neuquén", "+54 9 299 471-8825", "flor.mendez@gmail.com"},
        {"Sebastián Muñoz", "31478523", "Gran Vía 48, Madrid", "+34 655 120 874", "sebastian.munoz@outlook.com"},
        {"Rocío Villalba", "42589631", "Tucumán 3320, San Miguel de Tucumán", "+54 9 381 553-0912", "rocio.villalba@gmail.com"},
        {"Germán Ledesma", "25874136", "Av. Pellegrini 1710, Rosario", "+54 9 341 318-7764", "german.ledesma@hotmail.com"},
        {"Mónica Ortiz", "20369852", "Paseo Colón 505, CABA", "+54 9 11 4361-0458", "monica.ortiz@fibertel.com.ar"},
        {"Nicolás Pereyra", "37412589", "Av. Rivadavia 6120, CABA", "+54 9 11 3987-6612", "nico.pereyra@gmail.com"},
        {"Verónica Ojeda", "29658741", "Bartolomé Mitre 233, Córdoba", "+54 9 351 227-9940", "vero.ojeda@yahoo.com.ar"},
        {"Andrés Figueroa", "26987412", "Av. de Mayo 1370, CABA", "+54 9 11 4381-2209", "afigueroa@live.com.ar"},
        {"Ángeles Correa", "43698520", "Güemes 1450, Salta", "+54 9 387 610-3381", "angeles.correa@gmail.com"},
        {"Matías Herrera", "34125896", "San Martín 2218, Mendoza", "+54 9 261 532-0147", "matiherrera@hotmail.com"},
        {"Julieta Acosta", "38521479", "Av. Colón 345, Mar del Plata", "+54 9 223 595-6673", "juli.acosta@gmail.com"},
        {"Raúl Godoy", "12589634", "Sarmiento 1822, Rosario", "+54 9 341 447-2258", "raul.godoy@fibertel.com.ar"},
        {"Belén Castro Luna", "40587413", "Belgrano 1021, Córdoba", "+54 9 351 384-7120", "belen.castro@outlook.com"},
        {"Facundo Molina", "36985214", "Entre Ríos 2390, CABA", "+54 9 11 6211-4093", "facumolina@gmail.com"},
        {"Carolina Vázquez", "32587419", "Calle de Alcalá 88, Madrid", "+34 633 907 412", "carolina.vazquez@gmail.com"},
        {"Óscar Juárez", "16325874", "Moreno 412, Neuquén", "+54 9 299 438-5509", "oscar.juarez@yahoo.com.ar"},
        {"Milagros Sosa", "44125870", "Lavalle 760, San Miguel de Tucumán", "+54 9 381 667-2134", "mili.sosa@hotmail.com"},
        {"Hernán Aguirre", "23654789", "Av. Santa Fe 1045, Rosario", "+54 9 341 502-8846", "hernan.aguirre@gmail.com"},
    };
    QList<Guest> guests;
    for (const auto &row : rows)
        guests.append({text(row[0]), text(row[1]), text(row[2]), text(row[3]), text(row[4])});
    return guests;
}

Guest generatedGuest(Random &random, const QString &dni, const QString &surname)
{
    const bool woman = random.chance(500);
    QString first = woman ? pickText(random, WomenNames) : pickText(random, MenNames);
    if (random.chance(150) && !first.contains(u' ')) {
        const QString second = woman ? pickText(random, WomenSecondNames) : pickText(random, MenSecondNames);
        if (second != first)
            first += u' ' + second;
    }
    const QString family = surname.isEmpty() ? pickText(random, Surnames) : surname;
    QString name = first + u' ' + family;
    if (random.chance(400)) {
        const QString second = name + u' ' + pickText(random, Surnames);
        if (second.size() <= 50)
            name = second;
    }

    const City &city = Cities[random.between(0, int(std::size(Cities)) - 1)];
    const QString address = (pickText(random, Streets) + u' ' + QString::number(random.between(10, 4999))
                             + QStringLiteral(", ") + text(city.name))
                                .left(50);
    const QString phone = withDigits(random, city.phone);

    QString local = mailWord(first.section(u' ', 0, 0));
    if (random.chance(500))
        local += u'.';
    local += mailWord(family);
    if (random.chance(600))
        local += QString::number(random.between(1, 99));
    const QString domain = pickText(random, MailDomains);
    const QString email = local.left(49 - domain.size()) + u'@' + domain;

    return {name, dni, address, phone, email};
}

Hotel sampleHotel()
{
    return {text("Hotel Las Acacias"), text("Av. Bustillo 5400, San Carlos de Bariloche"), text("+54 294 446-1100"),
            text("reservas@lasacacias.com.ar"), text("CUIT 30-71546892-4"), RoomPictures::logoBmp()};
}

} // namespace SampleData
