#include "launcher/emulators/ZincTables.h"

namespace {

// One game as the A1, A2 and B2 builds list it; 0 where a build lacks it, nullptr where a
// build words the title as A1 does.
struct ZincGame {
    const char* key;
    int a1, a2, b2;
    const char* title;
    const char* titleA2;
    const char* titleB2;
};

// clang-format off
constexpr ZincGame kGames[] = {
    {"starglad", 1, 1, 1, "Star Gladiator (JP)", nullptr, "Star Gladiator (US 960627)"},
    {"sfex", 2, 0, 2, "Street Fighter EX (US)", nullptr, "Street Fighter EX (US 961219)"},
    {"sfexj", 3, 2, 3, "Street Fighter EX (JP)", nullptr, "Street Fighter EX (JP 961130)"},
    {"sfexa", 4, 3, 4, "Street Fighter EX (ASIA)", nullptr, "Street Fighter EX (ASIA 961219)"},
    {"sfexp", 5, 4, 5, "Street Fighter EX Plus (US)", nullptr, "Street Fighter EX Plus (US 970407)"},
    {"sfexpu1", 0, 0, 6, "Street Fighter EX Plus (US 970311)", nullptr, nullptr},
    {"sfexpj", 6, 5, 7, "Street Fighter EX Plus (JP)", nullptr, "Street Fighter EX Plus (JP 970311)"},
    {"sfex2", 0, 0, 8, "Street Fighter EX 2 (US 980526)", nullptr, nullptr},
    {"sfex2j", 7, 6, 9, "Street Fighter EX 2 (US)", nullptr, "Street Fighter EX 2 (JP 980312)"},
    {"sfex2j", 8, 7, 0, "Street Fighter EX 2 (JP)", nullptr, nullptr},
    {"sfex2p", 9, 8, 10, "Street Fighter EX 2 PLUS (US)", nullptr, "Street Fighter EX 2 PLUS (US 990611)"},
    {"sfex2pj", 10, 9, 11, "Street Fighter EX 2 PLUS (JP)", nullptr, "Street Fighter EX 2 PLUS (JP 990611)"},
    {"sfex2pa", 11, 10, 12, "Street Fighter EX 2 PLUS (ASIA)", nullptr, "Street Fighter EX 2 PLUS (ASIA 990611)"},
    {"plsmaswd", 12, 11, 13, "Plasma Sword (US)", nullptr, "Plasma Sword (US 980316)"},
    {"stargld2", 13, 12, 14, "Star Gladiator 2 (JP)", nullptr, "Star Gladiator 2 (JP 980316)"},
    {"rvschola", 14, 13, 15, "Rival Schools (ASIA)", nullptr, "Rival Schools (ASIA 971117)"},
    {"jgakuen", 15, 14, 16, "Justice Gakuen (JP)", nullptr, "Justice Gakuen (JP 991117)"},
    {"rvschool", 16, 15, 17, "Rival Schools (US)", nullptr, "Rival Schools (US 971117)"},
    {"shiryu2", 17, 16, 18, "Strider Hiryu 2 (JP)", nullptr, "Strider Hiryu 2 (JP 991213)"},
    {"strider2", 18, 17, 19, "Strider 2 (ASIA)", nullptr, "Strider 2 (ASIA 991213)"},
    {"kikaioh", 19, 18, 20, "Kikaioh (JP)", nullptr, "Kikaioh (JP 980914)"},
    {"techromn", 20, 19, 21, "Tech Romancer (US)", nullptr, "Tech Romancer (US 980914)"},
    {"ts2", 21, 20, 22, "Battle Arena Toshinden 2 (US)", nullptr, "Battle Arena Toshinden 2 (US 951124)"},
    {"ts2j", 22, 21, 23, "Battle Arena Toshinden 2 (JP)", nullptr, "Battle Arena Toshinden 2 (JP 951124)"},
    {"tgmj", 23, 22, 24, "Tetris The Grand Master (JP)", nullptr, "Tetris The Grand Master (JP 980710)"},
    {"sncwgltd", 24, 23, 25, "Sonic Wings Limited (JP)", nullptr, nullptr},
    {"beastrzb", 25, 24, 26, "Beastorizer (US) *bootleg*", nullptr, nullptr},
    {"beastrzr", 26, 25, 27, "Beastorizer (US)", nullptr, nullptr},
    {"bldyror2", 27, 26, 28, "Bloody Roar 2 (JP)", nullptr, nullptr},
    {"brvblade", 28, 27, 29, "Brave Blade (JP)", nullptr, nullptr},
    {"psyforcj", 29, 28, 30, "Psychic Force (JP 2.4J)", nullptr, nullptr},
    {"psyforce", 30, 29, 31, "Psychic Force (World 2.4O)", nullptr, nullptr},
    {"psyfrcex", 31, 30, 32, "Psychic Force EX (JP 2.0J)", nullptr, nullptr},
    {"mgcldtex", 32, 31, 33, "Magical Date EX - sotsugyou kokuhaku daisakusen (JP 2.01J)", nullptr, nullptr},
    {"raystorj", 33, 32, 34, "Raystorm (JP 2.05J)", nullptr, nullptr},
    {"raystorm", 34, 33, 35, "Raystorm (US 2.06A)", nullptr, nullptr},
    {"ftimpcta", 35, 34, 36, "Fighters Impact A (JP 2.00J)", nullptr, nullptr},
    {"gdarius", 36, 35, 37, "G-Darius (JP 2.01J)", nullptr, nullptr},
    {"gdarius2", 37, 36, 38, "G-Darius Ver.2 (JP 2.03J)", nullptr, nullptr},
    {"danceyes", 38, 37, 39, "Dancing Eyes (JP) Ver. A", nullptr, nullptr},
    {"xevi3dg", 39, 38, 40, "Xevious 3D/G (JP) Ver. A", nullptr, nullptr},
    {"starswep", 40, 39, 41, "Star Sweep (JP) Ver. A", nullptr, nullptr},
    {"myangel3", 41, 40, 42, "Kosodate Quiz My Angel 3 (JP) Ver. A", nullptr, nullptr},
    {"tekkenb", 42, 41, 43, "Tekken (JP) Ver. B", nullptr, nullptr},
    {"tekkena", 43, 42, 44, "Tekken (WORLD) Ver. B", nullptr, nullptr},
    {"tekken", 44, 43, 45, "Tekken (WORLD) Ver. C", nullptr, nullptr},
    {"tekken2a", 45, 44, 46, "Tekken 2 (JP) Ver. B", nullptr, nullptr},
    {"tekken2b", 46, 45, 47, "Tekken 2 (World) Ver. A", nullptr, nullptr},
    {"tekken2", 47, 46, 48, "Tekken 2 (World) Ver. B", nullptr, nullptr},
    {"souledga", 48, 47, 49, "Soul Edge (JP) SO3 Ver. A", nullptr, nullptr},
    {"souledgb", 49, 48, 50, "Soul Edge (JP) SO1 Ver. A", nullptr, nullptr},
    {"souledge", 50, 49, 51, "Soul Edge Ver. II (JP) SO4 Ver. C", nullptr, nullptr},
    {"dunkmnia", 51, 50, 52, "Dunk Mania (US) DM2 Ver. C", "Dunk Mania (JP) DM2 Ver. C", nullptr},
    {"dunkmnic", 52, 51, 53, "Dunk Mania (JP) DM1 Ver. C", nullptr, nullptr},
    {"primglex", 53, 52, 54, "Prime Goal EX (JP) Ver. A", nullptr, nullptr},
    {"weddingr", 54, 53, 55, "Wedding Rhapsody (JP) Ver. JAA", nullptr, nullptr},
    {"hyperath", 55, 54, 56, "Hyper Athlete (JP) Ver. 1.00", nullptr, nullptr},
    {"pbball96", 56, 55, 57, "Powerful Baseball 96 (JP) Ver. 1.03", nullptr, nullptr},
    {"susume", 57, 56, 58, "Susume! Taisen Puzzle-Dama (JP) Ver. 1.20", nullptr, nullptr},
    {"fgtlayer", 58, 57, 59, "Fighting Layer (JP) Ver. B", nullptr, nullptr},
    {"ehrgeiz", 59, 58, 60, "Ehrgeiz (US) Ver. A", "Ehrgeiz (JP) Ver. A", nullptr},
    {"tekken3", 0, 59, 61, "Tekken 3 (JP) Ver. A", nullptr, nullptr},
    {"mrdrillr", 60, 60, 62, "Mr Driller (JP) Ver. A", nullptr, nullptr},
    {"aquarush", 61, 61, 63, "Aqua Rush (JP) Ver. A", nullptr, nullptr},
    {"pacapp", 62, 62, 64, "Paca Paca Passion (JP) Ver. A", nullptr, nullptr},
    {"sws99", 0, 63, 0, "Super World Stadium 99 (JP) Ver. A", nullptr, nullptr},
    {"glpracr3", 63, 64, 65, "Gallop Racer 3 (JP)", nullptr, nullptr},
    {"shngmtkb", 64, 65, 66, "Shanghai Matekibuyuu (JP)", nullptr, nullptr},
    {"cbaj", 65, 66, 67, "Cool Boarders Arcade Jam (US)", nullptr, nullptr},
    {"doapp", 66, 67, 68, "Dead or Alive++", nullptr, nullptr},
    {"tondemo", 67, 68, 69, "Tondemo Crisis", nullptr, nullptr},
    {"mfjump", 68, 69, 70, "Monster Farm Jump (JP)", nullptr, nullptr},
    {"hvnsgate", 69, 70, 71, "Heaven's Gate", "Heaven 's Gate", nullptr},
};

// The oldest build's list, in its own order; its keys keep their upper case.
struct ZincOldGame {
    const char* key;
    const char* title;
};
constexpr ZincOldGame kOldGames[] = {
    {"SFEXJ", "Street Fighter EX (JP)"},
    {"SFEX", "Street Fighter EX (ASIA)"},
    {"SFEXP", "Street Fighter EX Plus (USA)"},
    {"SFEXPJ", "Street Fighter EX Plus (JP)"},
    {"SFEX2", "Street Fighter EX 2 (JP)"},
    {"SFEX2P", "Street Fighter EX 2 PLUS (JP)"},
    {"SG2J", "Star Gladiator 2 (JP)"},
    {"RVSCHOOL", "Rival Schools (ASIA)"},
    {"jgakuen", "Justice Gakuen (JP)"},
    {"sr2j", "Strider Hiryu 2 (JP)"},
    {"sr2", "Strider 2 (USA)"},
    {"KIKAIOH", "Kikaioh (JP)"},
    {"TS2J", "Battle Arena Toshinden 2 (JP)"},
    {"TGMJ", "Tetris The Grand Master (JP)"},
    {"SNCWGLTD", "Sonic Wings Limited (JP)"},
    {"beastorizer", "Beastorizer (bootleg)"},
    {"psyforce", "Psychic Force(JP)"},
    {"MGCLDATE", "Magical Date EX (JP)"},
    {"souledge", "Soul Edge (JP) Ver. A"},
    {"souledge", "Soul Edge (JP) Ver. C"},
    {"tekken", "Tekken (JP) Ver. A"},
    {"tk2b", "Tekken 2 (JP) Ver. B"},
    {"danceyes", "Dancing Eyes (JP) Ver. A"},
    {"xevi3dg", "Xevious 3D/G (JP) Ver. A"},
    {"starswep", "Star Sweep (JP) Ver. A"},
    {"MYANGEL3", "Kosodate Quiz My Angel 3 (JP) Ver. A"},
};
// clang-format on

QString entry(int number, const char* title, const char* key) {
    return QString::number(number) + QLatin1Char(' ') + QString::fromUtf8(title) +
           QLatin1Char('|') + QString::fromUtf8(key);
}

}  // namespace

ZincVariant chooseZincVariant(std::optional<qint64> size, const QDateTime& localModified) {
    const QDateTime threshold(QDate(2004, 10, 24), QTime(7, 19, 0));
    // Dates count to the whole second, as the threshold does: the fractions some file
    // systems keep must not tip a file across it.
    QDateTime date = localModified.isValid() ? localModified.toLocalTime() : QDateTime();
    if (date.isValid())
        date.setTime(QTime(date.time().hour(), date.time().minute(), date.time().second()));
    const bool known = date.isValid();
    if (size == 647168) return known && date > threshold ? ZincVariant::A1 : ZincVariant::A2;
    return !known || date < threshold ? ZincVariant::B1 : ZincVariant::B2;
}

QStringList zincGameTable(ZincVariant variant) {
    QStringList table;
    if (variant == ZincVariant::B1) {
        int n = 0;
        for (const ZincOldGame& g : kOldGames)
            table << entry(++n, g.title, g.key);
        return table;
    }
    for (const ZincGame& g : kGames) {
        const int number = variant == ZincVariant::A1   ? g.a1
                           : variant == ZincVariant::A2 ? g.a2
                                                        : g.b2;
        if (number == 0) continue;
        const char* title = g.title;
        if (variant == ZincVariant::A2 && g.titleA2) title = g.titleA2;
        if (variant == ZincVariant::B2 && g.titleB2) title = g.titleB2;
        // Every build numbers its games in the table's order, from 1 without gaps.
        if (number != table.size() + 1) return {};
        table << entry(number, title, g.key);
    }
    return table;
}
