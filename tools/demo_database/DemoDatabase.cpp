// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoDatabase.h"

namespace jet4 {

namespace {

struct Author {
    int id;
    const char *name;
    int yearBorn; // 0: not known
};

// Invented people; any likeness is chance.
constexpr Author authors[] = {
    {1, "Abernathy, Rolf", 1938},    {2, "Brannigan, Coral", 1951},    {3, "Castellane, Ivo", 1944},
    {4, "Dunmore, Petra", 1962},     {5, "Eskeland, Tor", 1957},       {6, "Fairweather, Nell", 0},
    {7, "Gravenor, Lucan", 1949},    {8, "Holloway, Brisa", 1966},     {9, "Ingleby, Marten", 1940},
    {10, "Jessup, Ondine", 1971},    {11, "Kettering, Abel", 1935},    {12, "Lindqvist, Sunniva", 1958},
    {13, "Marchetti, Oren", 1947},   {14, "Northcott, Delia", 1969},   {15, "Okonkwo, Femi", 1953},
    {16, "Pemberton, Hale", 1942},   {17, "Quillfeather, Ada", 1975},  {18, "Rasmussen, Vigdis", 1960},
    {19, "Sauveterre, Jules", 1939}, {20, "Thorncliffe, Mabel", 1964}, {21, "Underhay, Silas", 1950},
    {22, "Valcourt, Ysolde", 1968},  {23, "Whitlock, Emrys", 1945},    {24, "Yarrow, Zelie", 1973},
};

Object authorsTable() {
    Object t{"Authors"};
    t.columns = {
        {"Au_ID", Type::Long, 0, 0, 0, true, true}, {"Author", Type::Text, 50}, {"Year Born", Type::Integer}};
    for (const Author &a : authors)
        t.rows.push_back(
            {Value::of(a.id), Value::ofText(a.name), a.yearBorn ? Value::of(a.yearBorn) : Value::null()});
    return t;
}

Object publishersTable() {
    Object t{"Publishers"};
    t.columns = {
        {"PubID", Type::Long, 0, 0, 0, true, true}, {"Name", Type::Text, 50}, {"City", Type::Text, 30}};
    t.rows = {{Value::of(1), Value::ofText("Larkspur Press"), Value::ofText("Hollin Bay")},
              {Value::of(2), Value::ofText("Quarry Lane Books"), Value::ofText("Marrowby")},
              {Value::of(3), Value::ofText("Seven Ferns"), Value::null()}};
    return t;
}

Object titlesTable() {
    Object t{"Titles"};
    t.columns = {{"Title", Type::Text, 100},
                 {"Year Published", Type::Integer},
                 {"Au_ID", Type::Long},
                 {"PubID", Type::Long},
                 {"Price", Type::Currency}};
    t.rows = {
        {Value::ofText("The Salt Orchard"), Value::of(1979), Value::of(1), Value::of(1), Value::of(129500)},
        {Value::ofText("Winter Ledger"), Value::of(1984), Value::of(4), Value::of(2), Value::of(89900)},
        {Value::ofText("Nine Lanterns"), Value::of(1991), Value::of(6), Value::of(3), Value::of(150000)},
        {Value::ofText("A Map of Small Rivers"), Value::of(1998), Value::of(12), Value::of(1), Value::null()},
        {Value::ofText("Ferryman's Almanac"), Value::of(2003), Value::of(17), Value::of(2),
         Value::of(99500)}};
    return t;
}

} // namespace

std::vector<Object> demoDatabase() {
    return {authorsTable(), publishersTable(), titlesTable()};
}

} // namespace jet4
