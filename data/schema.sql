-- Hotel front desk database.
--
-- Representation:
--   money      CURRENCY: a 64-bit integer count of ten-thousandths (1234.5 is 12345000)
--   date-time  DATETIME: text 'YYYY-MM-DD HH:MM:SS'; day dates end in '00:00:00'
--   text n     VARCHAR(n) with a length check
--   SMALLINT   16-bit integer with a range check
-- Check constraints are named with a sentence, because SQLite puts the name into
-- the error the user reads ("CHECK constraint failed: <name>").
-- Every connection must run PRAGMA foreign_keys = ON.

PRAGMA journal_mode = WAL;
PRAGMA foreign_keys = ON;

CREATE TABLE TiposDeHabitacion (
    IdTipo      INTEGER PRIMARY KEY AUTOINCREMENT,
    Nombre      VARCHAR(50)
        CONSTRAINT "Nombre holds at most 50 characters"
        CHECK (Nombre IS NULL OR (typeof(Nombre) = 'text' AND length(Nombre) <= 50)),
    Precio      CURRENCY
        CONSTRAINT "Precio must be a money amount"
        CHECK (Precio IS NULL OR typeof(Precio) = 'integer'),
    Foto        BLOB
        CONSTRAINT "Foto must hold picture bytes"
        CHECK (Foto IS NULL OR typeof(Foto) = 'blob'),
    Descripcion VARCHAR(255)
        CONSTRAINT "Descripcion holds at most 255 characters"
        CHECK (Descripcion IS NULL OR (typeof(Descripcion) = 'text' AND length(Descripcion) <= 255)),
    Comodidades TEXT,
    Capacidad   SMALLINT
        CONSTRAINT "Capacidad must be a whole number from -32768 to 32767"
        CHECK (Capacidad IS NULL OR (typeof(Capacidad) = 'integer' AND Capacidad BETWEEN -32768 AND 32767))
);

CREATE TABLE Habitaciones (
    idHabitacion  INTEGER PRIMARY KEY AUTOINCREMENT,
    -- Stays show the room number as a whole number and the booking dialog finds a
    -- room by its number: numbers are required, unique, digits only, without
    -- leading zeros, and small enough for a 32-bit integer.
    NroHabitacion VARCHAR(255) NOT NULL UNIQUE
        CONSTRAINT "NroHabitacion must be a room number written in digits (at most 9, no leading zero)"
        CHECK (typeof(NroHabitacion) = 'text'
               AND length(NroHabitacion) BETWEEN 1 AND 9
               AND NroHabitacion NOT GLOB '*[^0-9]*'
               AND (NroHabitacion = '0' OR NroHabitacion NOT GLOB '0*')),
    Piso          SMALLINT
        CONSTRAINT "Piso must be a whole number from -32768 to 32767"
        CHECK (Piso IS NULL OR (typeof(Piso) = 'integer' AND Piso BETWEEN -32768 AND 32767)),
    Vista         VARCHAR(10)
        CONSTRAINT "Vista holds at most 10 characters"
        CHECK (Vista IS NULL OR (typeof(Vista) = 'text' AND length(Vista) <= 10)),
    IdTipo        INTEGER REFERENCES TiposDeHabitacion (IdTipo)
        CONSTRAINT "IdTipo must be a whole number"
        CHECK (IdTipo IS NULL OR typeof(IdTipo) = 'integer')
);
-- In the order of the rooms listing, so that the listing's rows come out of
-- the join already sorted and each type's photo is never copied into a sorter.
CREATE INDEX ixHabitacionesIdTipo ON Habitaciones (IdTipo, Piso, NroHabitacion);

CREATE TABLE Servicios (
    IdServicio INTEGER PRIMARY KEY AUTOINCREMENT,
    Nombre     VARCHAR(50)
        CONSTRAINT "Nombre holds at most 50 characters"
        CHECK (Nombre IS NULL OR (typeof(Nombre) = 'text' AND length(Nombre) <= 50)),
    Precio     CURRENCY
        CONSTRAINT "Precio must be a money amount"
        CHECK (Precio IS NULL OR typeof(Precio) = 'integer')
);

CREATE TABLE Huespedes (
    IdHuesped INTEGER PRIMARY KEY AUTOINCREMENT,
    Nombre    VARCHAR(50)
        CONSTRAINT "Nombre holds at most 50 characters"
        CHECK (Nombre IS NULL OR (typeof(Nombre) = 'text' AND length(Nombre) <= 50)),
    DNI       VARCHAR(50)
        CONSTRAINT "DNI holds at most 50 characters"
        CHECK (DNI IS NULL OR (typeof(DNI) = 'text' AND length(DNI) <= 50)),
    Domicilio VARCHAR(50)
        CONSTRAINT "Domicilio holds at most 50 characters"
        CHECK (Domicilio IS NULL OR (typeof(Domicilio) = 'text' AND length(Domicilio) <= 50)),
    Telefono  VARCHAR(50)
        CONSTRAINT "Telefono holds at most 50 characters"
        CHECK (Telefono IS NULL OR (typeof(Telefono) = 'text' AND length(Telefono) <= 50)),
    EMail     VARCHAR(50)
        CONSTRAINT "EMail holds at most 50 characters"
        CHECK (EMail IS NULL OR (typeof(EMail) = 'text' AND length(EMail) <= 50))
);

CREATE TABLE Estadias (
    IdEstadia    INTEGER PRIMARY KEY AUTOINCREMENT,
    IdHuesped    INTEGER REFERENCES Huespedes (IdHuesped)
        CONSTRAINT "IdHuesped must be a whole number"
        CHECK (IdHuesped IS NULL OR typeof(IdHuesped) = 'integer'),
    IdHabitacion INTEGER REFERENCES Habitaciones (idHabitacion)
        CONSTRAINT "IdHabitacion must be a whole number"
        CHECK (IdHabitacion IS NULL OR typeof(IdHabitacion) = 'integer'),
    FechaIngreso DATETIME
        CONSTRAINT "FechaIngreso must be a day date"
        CHECK (FechaIngreso IS NULL
               OR (typeof(FechaIngreso) = 'text'
                   AND datetime(FechaIngreso, '+0 days') IS FechaIngreso
                   AND substr(FechaIngreso, 12) = '00:00:00')),
    FechaEgreso  DATETIME
        CONSTRAINT "FechaEgreso must be a day date"
        CHECK (FechaEgreso IS NULL
               OR (typeof(FechaEgreso) = 'text'
                   AND datetime(FechaEgreso, '+0 days') IS FechaEgreso
                   AND substr(FechaEgreso, 12) = '00:00:00')),
    Estado       VARCHAR(10)
        CONSTRAINT "Estado must be Reservada, Ocupada, Facturada or Finalizada"
        CHECK (Estado IS NULL OR Estado IN ('Reservada', 'Ocupada', 'Facturada', 'Finalizada')),
    Dias         INTEGER
        CONSTRAINT "Dias must be a whole number"
        CHECK (Dias IS NULL OR (typeof(Dias) = 'integer' AND Dias BETWEEN -2147483648 AND 2147483647)),
    PrecioDiario CURRENCY
        CONSTRAINT "PrecioDiario must be a money amount"
        CHECK (PrecioDiario IS NULL OR typeof(PrecioDiario) = 'integer'),
    PrecioFinal  CURRENCY
        CONSTRAINT "PrecioFinal must be a money amount"
        CHECK (PrecioFinal IS NULL OR typeof(PrecioFinal) = 'integer'),
    CONSTRAINT "The check-out day may not come before the check-in day"
        CHECK (FechaEgreso IS NULL OR FechaIngreso IS NULL OR FechaEgreso >= FechaIngreso)
);
CREATE INDEX ixEstadiasIdHuesped ON Estadias (IdHuesped);
-- Serves the room lookups and the overlap search by room and day range. It
-- also carries the columns those searches and the days-booked ranking read, so
-- they are answered from the index alone, without a seek into the table for
-- each of the thousands of stays a room gathers over the years.
CREATE INDEX ixEstadiasIdHabitacion ON Estadias (IdHabitacion, FechaEgreso, FechaIngreso, Estado, Dias);
CREATE INDEX ixEstadiasEstado ON Estadias (Estado);

CREATE TABLE ConsumoDeServicios (
    IdConsumo  INTEGER PRIMARY KEY AUTOINCREMENT,
    IdEstadia  INTEGER REFERENCES Estadias (IdEstadia)
        CONSTRAINT "IdEstadia must be a whole number"
        CHECK (IdEstadia IS NULL OR typeof(IdEstadia) = 'integer'),
    IdServicio INTEGER REFERENCES Servicios (IdServicio)
        CONSTRAINT "IdServicio must be a whole number"
        CHECK (IdServicio IS NULL OR typeof(IdServicio) = 'integer'),
    Cantidad   INTEGER
        CONSTRAINT "Cantidad must be a whole number of at least 1"
        CHECK (Cantidad IS NULL OR (typeof(Cantidad) = 'integer' AND Cantidad BETWEEN 1 AND 2147483647)),
    Precio     CURRENCY
        CONSTRAINT "Precio must be a money amount"
        CHECK (Precio IS NULL OR typeof(Precio) = 'integer'),
    FechaHora  DATETIME
        CONSTRAINT "FechaHora must be a date and time"
        CHECK (FechaHora IS NULL
               OR (typeof(FechaHora) = 'text' AND datetime(FechaHora, '+0 days') IS FechaHora))
);
-- The detail link: the consumptions of one stay, in time order.
CREATE INDEX ixConsumoIdEstadia ON ConsumoDeServicios (IdEstadia, FechaHora);
CREATE INDEX ixConsumoIdServicio ON ConsumoDeServicios (IdServicio);

-- The hotel's own name, address and logo, printed on every document. One row at
-- most: its key can only be 1. Without a row, or with an empty one, documents
-- print the program's own name and picture.
CREATE TABLE DatosDelHotel (
    IdDatos              INTEGER PRIMARY KEY
        CONSTRAINT "DatosDelHotel holds one row only"
        CHECK (IdDatos = 1),
    Nombre               VARCHAR(60)
        CONSTRAINT "Nombre holds at most 60 characters"
        CHECK (Nombre IS NULL OR (typeof(Nombre) = 'text' AND length(Nombre) <= 60)),
    Domicilio            VARCHAR(60)
        CONSTRAINT "Domicilio holds at most 60 characters"
        CHECK (Domicilio IS NULL OR (typeof(Domicilio) = 'text' AND length(Domicilio) <= 60)),
    Telefono             VARCHAR(60)
        CONSTRAINT "Telefono holds at most 60 characters"
        CHECK (Telefono IS NULL OR (typeof(Telefono) = 'text' AND length(Telefono) <= 60)),
    EMail                VARCHAR(60)
        CONSTRAINT "EMail holds at most 60 characters"
        CHECK (EMail IS NULL OR (typeof(EMail) = 'text' AND length(EMail) <= 60)),
    IdentificacionFiscal VARCHAR(60)
        CONSTRAINT "IdentificacionFiscal holds at most 60 characters"
        CHECK (IdentificacionFiscal IS NULL
               OR (typeof(IdentificacionFiscal) = 'text' AND length(IdentificacionFiscal) <= 60)),
    Logo                 BLOB
        CONSTRAINT "Logo must hold picture bytes"
        CHECK (Logo IS NULL OR typeof(Logo) = 'blob')
);
