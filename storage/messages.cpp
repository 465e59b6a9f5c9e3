#include "storage/messages.h"

#include "floob.h"

// The text table in use: 0, English, until start-up chooses the player's.
int32_t language = 0;
const char* const language_flag_names[LANGUAGE_COUNT] = {"flag_uk", "flag_de", "flag_fr", "flag_es"};

// Strings that several entries point at: one blank line for every language, and
// the English "PRESS START" of the title and of the options screens.
static const char TEXT_EMPTY[] = "";
static const char TEXT_PRESS_START[] = "PRESS START";
static const char TEXT_NOT_AVAILABLE_AGAIN[] = "NOT AVAILABLE";

// The title scroller: it enters from an empty screen (40 spaces) and leaves to
// one (41 spaces), 509 characters in every language.
static const char TEXT_SCROLLER_EN[] =
    "                                        "
    "FLOOB 2 --- TWO SECONDS UNTIL DEATH ---"
    " PROGRAMMING BY THE FLOOB 2 TEAM --- GRAPHICS BY THE FLOOB 2 TEAM --- MUSIC AND SOUND EFFECTS BY THE"
    " FLOOB 2 TEAM --- LEVEL DESIGN BY THE FLOOB 2 TEAM --- TESTING BY THE FLOOB 2 TEAM AND ITS VERY BRAVE"
    " FRIENDS --- MADE WITH SDL, SDL MIXER, LIBMODPLUG AND ZLIB --- THANK YOU FOR PLAYING!!! KEEP AN EYE ON"
    " YOUR AIR, COUNT YOUR EMERALDS AND REMEMBER: TWO SECONDS ARE LONGER THAN THEY LOOK ---"
    "                                         ";

// The accented capitals and inverted marks of ISO-8859-1, one byte each in
// the table, spelled by name so that a row reads as text.
#define A_GRAVE "\xC0"
#define A_ACUTE "\xC1"
#define A_CIRC "\xC2"
#define A_DIA "\xC4"
#define C_CED "\xC7"
#define E_GRAVE "\xC8"
#define E_ACUTE "\xC9"
#define E_CIRC "\xCA"
#define E_DIA "\xCB"
#define I_ACUTE "\xCD"
#define I_CIRC "\xCE"
#define I_DIA "\xCF"
#define N_TILDE "\xD1"
#define O_ACUTE "\xD3"
#define O_CIRC "\xD4"
#define O_DIA "\xD6"
#define U_GRAVE "\xD9"
#define U_ACUTE "\xDA"
#define U_CIRC "\xDB"
#define U_DIA "\xDC"
#define INV_EXCL "\xA1"
#define INV_QUEST "\xBF"

static const char TEXT_SCROLLER_DE[] =
    "                                        "
    "FLOOB 2 --- TWO SECONDS UNTIL DEATH ---"
    " PROGRAMMIERUNG: DAS FLOOB 2 TEAM --- GRAFIK: DAS FLOOB 2 TEAM --- MUSIK UND KLANGEFFEKTE: DAS"
    " FLOOB 2 TEAM --- LEVELDESIGN: DAS FLOOB 2 TEAM --- TESTS: DAS FLOOB 2 TEAM UND SEINE SEHR"
    " TAPFEREN FREUNDE --- ERSTELLT MIT SDL, SDL MIXER, LIBMODPLUG UND ZLIB --- DANKE F" U_DIA
    "RS"
    " SPIELEN!!! ACHTE AUF DEINE LUFT, Z" A_DIA
    "HLE DEINE SMARAGDE UND DENKE DARAN: ZWEI SEKUNDEN SIND"
    " L" A_DIA
    "NGER, ALS SIE SCHEINEN! ---"
    "                                         ";

static const char TEXT_SCROLLER_FR[] =
    "                                        "
    "FLOOB 2 --- TWO SECONDS UNTIL DEATH ---"
    " PROGRAMMATION: L'" E_ACUTE "QUIPE FLOOB 2 --- GRAPHISMES: L'" E_ACUTE
    "QUIPE FLOOB 2 --- MUSIQUE ET BRUITAGES:"
    " L'" E_ACUTE "QUIPE FLOOB 2 --- CR" E_ACUTE "ATION DES NIVEAUX: L'" E_ACUTE "QUIPE FLOOB 2 --- TESTS: L'" E_ACUTE
    "QUIPE FLOOB 2 ET SES"
    " AMIS COURAGEUX --- FAIT AVEC SDL, SDL MIXER, LIBMODPLUG ET ZLIB --- MERCI D'AVOIR JOU" E_ACUTE
    "!"
    " SURVEILLEZ VOTRE AIR, COMPTEZ VOS " E_ACUTE
    "MERAUDES ET N'OUBLIEZ PAS: DEUX SECONDES, C'EST PLUS LONG"
    " QU'IL N'Y PARA" I_CIRC
    "T! ---"
    "                                         ";

static const char TEXT_SCROLLER_ES[] =
    "                                        "
    "FLOOB 2 --- TWO SECONDS UNTIL DEATH ---"
    " PROGRAMACI" O_ACUTE "N: EL EQUIPO DE FLOOB 2 --- GR" A_ACUTE "FICOS: EL EQUIPO DE FLOOB 2 --- M" U_ACUTE
    "SICA Y EFECTOS DE"
    " SONIDO: EL EQUIPO DE FLOOB 2 --- DISE" N_TILDE
    "O DE FASES: EL EQUIPO DE FLOOB 2 --- PRUEBAS: EL EQUIPO"
    " DE FLOOB 2 Y SUS VALIENTES AMIGOS --- CREADO CON SDL, SDL MIXER, LIBMODPLUG Y ZLIB ---"
    " " INV_EXCL "GRACIAS POR JUGAR! VIGILA TU AIRE, CUENTA TUS ESMERALDAS Y RECUERDA: DOS SEGUNDOS DURAN M" A_ACUTE
    "S"
    " DE LO QUE PARECE ---"
    "                                         ";

static constexpr const char* MESSAGES_EN[MESSAGE_COUNT] = {
    // 0: death causes
    "IMPALED TO DEATH", "FELL TO DEATH", "SMASHED", "HIT BY UFO", "POISIONED BY BUG", "BIT BY STONEBAT",
    "EATEN BY STEELFISH", "KILLED BY ANDROID",
    // 8: spare
    "PRESS LEFT FOR CLASSIC GRAPHICS", "PRESS RIGHT FOR DELUXE GRAPHICS",
    // 10: status line, pause, play messages, title and main menu
    "  TIME:", "   AIR:", "-PAUSE-", "SUICIDE", "GO ON", "EXIT", "FLOOB, RUN!", "YOU FORGOT EMERALDS!",
    "GO TO PAUSE MODE AND SUICIDE", TEXT_PRESS_START, "NEW GAME", "CONTINUE", "HISCORES", "OPTIONS",
    // 24: options and configuration
    TEXT_PRESS_START, "NOT AVAILABLE", "CONFIGURE KEYS", "PRESS START KEY", "PRESS LEFT KEY", "PRESS RIGHT KEY",
    "PRESS UP KEY", "PRESS DOWN KEY", "PRESS JUMP KEY", "PRESS PAUSE KEY", "CONFIGURE PAD", "PRESS START BUTTON",
    "PRESS JUMP BUTTON", "PRESS PAUSE BUTTON", "MUSIC VOLUME", "SFX VOLUME", "SCREEN SETTINGS", "BOXED 320 X 240",
    "BOXED 640 X 480", "FULL SCREEN", "SCALING SETTINGS", TEXT_NOT_AVAILABLE_AGAIN, "SIMPLE", "SCALE2X", "SCANLINE",
    "BILINEAR AA", "ANTIALIASING", "(RESTART TO APPLY)", "USE UP TO JUMP", "YES", "NO", "SOUNDCHECK",
    "RESET TO DEFAULT", "BACK TO MENU", "APPLY AND BACK TO MENU", "ALREADY USED, CHOOSE ANOTHER ONE",
    // 60: name entry, game flow, quit question, level end
    "ENTER YOUR NAME:", "TIME UP", "DROWNED", "SURE TO QUIT?", "PRESS LEFT FOR YES, PRESS RIGHT FOR NO",
    "ANY POSSIBLE HISCORE ENTRY WILL BE LOST", "TIME BONUS", "LIFE BONUS", "CONGRATULATIONS", "NEXT STAGE", "COMING UP",
    // 71: ending story
    "FLOOB REACHED HIS", "GLIDER WITH A BAG", "FULL OF EMERALDS!", "LETS GET HOME!",
    // 75: opening story
    "FLOOB HAD ONE", "MORE WALK AND", "AS USUAL LOST", "THINGS AGAIN.", "GET ALL GREEN", "EMERALDS BACK",
    "BEFORE HEADING", "HOME TO EARTH!",
    // 83: score, game over, continue
    "SCORE", "GAME OVER!", "CONTINUE?",
    // 86: credits screen
    "CREDITS", "THIS PROJECT USES CODE OF", "THE FOLLOWING OPEN-SOURCE", "PROJECTS:", "SDL, SDL MIXER, LIBMODPLUG",
    "AND ZLIB", "YOU CAN GET THE SOURCE CODE", "OF THE MENTIONED LIBRARIES", "BY VISITING THE RESPECTIVE", "HOMEPAGES.",
    "HIT ACTION BUTTON OR ANY KEY",
    // 97: warning screen
    "WARNING", TEXT_EMPTY, "THIS GAME NEEDS A SHARP MIND", "AND VERY FAST REFLEXES.", TEXT_EMPTY,
    "IF YOU DO NOT HAVE NERVES,", "BETTER QUIT THE GAME NOW, AND", "PLAY SOMETHING ELSE.",
    // 105: spare lines
    TEXT_EMPTY, TEXT_EMPTY, "I", "DONT", "DO DRUGS,", "I AM DRUGS!",
    // 111: title scroller
    TEXT_SCROLLER_EN};

static constexpr const char* MESSAGES_DE[MESSAGE_COUNT] = {
    // 0: death causes
    "AUFGESPIESST",
    "ABGEST" U_DIA "RZT",
    "ZERMATSCHT",
    U_DIA "BERFAHREN",
    "VERGIFTET",
    "FLEDERMAUSBISS",
    "STAHLFISCHFUTTER",
    "GET" O_DIA "TET",
    // 8: spare
    "LINKS F" U_DIA "R KLASSISCHE GRAFIK",
    "RECHTS F" U_DIA "R DELUXE-GRAFIK",
    // 10: status line, pause, play messages, title and main menu
    "  ZEIT:",
    "  LUFT:",
    MESSAGES_EN[12],
    "REINKARNATION",
    "WEITERSPIELEN",
    "BEENDEN",
    "FLOOB, LAUF!",
    "SMARAGDE VERGESSEN!",
    "IM PAUSENMEN" U_DIA " REINKARNATION W" A_DIA "HLEN",
    "START DR" U_DIA "CKEN",
    "NEUES SPIEL",
    "FORTSETZEN",
    "HISCORE",
    "OPTIONEN",
    // 24: options and configuration
    "START DR" U_DIA "CKEN",
    "NICHT VERF" U_DIA "GBAR",
    "TASTEN EINSTELLEN",
    "TASTE F" U_DIA "R START DR" U_DIA "CKEN",
    "TASTE F" U_DIA "R LINKS DR" U_DIA "CKEN",
    "TASTE F" U_DIA "R RECHTS DR" U_DIA "CKEN",
    "TASTE F" U_DIA "R OBEN DR" U_DIA "CKEN",
    "TASTE F" U_DIA "R UNTEN DR" U_DIA "CKEN",
    "TASTE F" U_DIA "R SPRUNG DR" U_DIA "CKEN",
    "TASTE F" U_DIA "R PAUSE DR" U_DIA "CKEN",
    "GAMEPAD EINSTELLEN",
    "KNOPF F" U_DIA "R START DR" U_DIA "CKEN",
    "KNOPF F" U_DIA "R SPRUNG DR" U_DIA "CKEN",
    "KNOPF F" U_DIA "R PAUSE DR" U_DIA "CKEN",
    "MUSIKLAUTST" A_DIA "RKE",
    "EFFEKTLAUTST" A_DIA "RKE",
    "BILDSCHIRMEINSTELLUNGEN",
    "FENSTER 320 X 240",
    "FENSTER 640 X 480",
    "VOLLBILD",
    "SKALIERUNG",
    "NICHT VERF" U_DIA "GBAR",
    "EINFACH",
    MESSAGES_EN[47],
    "RASTERZEILEN",
    MESSAGES_EN[49],
    "KANTENGL" A_DIA "TTUNG",
    "(NEUSTART N" O_DIA "TIG)",
    "MIT OBEN SPRINGEN",
    "JA",
    "NEIN",
    "MUSIK ANH" O_DIA "REN",
    "AUF STANDARD SETZEN",
    "ZUR" U_DIA "CK ZUM MEN" U_DIA,
    U_DIA "BERNEHMEN UND ZUR" U_DIA "CK",
    "SCHON BELEGT, BITTE NEU W" A_DIA "HLEN",
    // 60: name entry, game flow, quit question, level end
    "DEIN NAME:",
    "ZEIT ABGELAUFEN",
    "ERTRUNKEN",
    "BEENDEN?",
    "LINKS F" U_DIA "R JA, RECHTS F" U_DIA "R NEIN",
    "EIN M" O_DIA "GLICHER HISCORE GEHT VERLOREN",
    "ZEITBONUS",
    "LEBENSBONUS",
    "GL" U_DIA "CKWUNSCH!",
    "N" A_DIA "CHSTES LEVEL",
    "KOMMT SOFORT",
    // 71: ending story
    "FLOOB ERREICHT MIT",
    "SACK UND SMARAGDEN",
    "SEINEN GLEITER.",
    "AB NACH HAUSE!",
    // 75: opening story
    "FLOOB MACHTE",
    "NOCH EINEN",
    "SPAZIERGANG UND",
    "VERLOR WIE IMMER",
    "SEINE SACHEN.",
    "HOL ALLE GR" U_DIA "NEN",
    "SMARAGDE ZUR" U_DIA "CK,",
    "DANN AB ZUR ERDE!",
    // 83: score, game over, continue
    "PUNKTE",
    MESSAGES_EN[84],
    "WEITERSPIELEN?",
    // 86: credits screen
    MESSAGES_EN[86],
    "DIESES PROJEKT NUTZT CODE DER",
    "FOLGENDEN OPEN-SOURCE-PROJEKTE:",
    TEXT_EMPTY,
    MESSAGES_EN[90],
    "UND ZLIB",
    "DEN QUELLCODE DIESER BIBLIOTHEKEN",
    "GIBT ES AUF IHREN",
    "JEWEILIGEN HOMEPAGES.",
    TEXT_EMPTY,
    "AKTIONSKNOPF ODER EINE TASTE DR" U_DIA "CKEN",
    // 97: warning screen
    "ACHTUNG!",
    TEXT_EMPTY,
    "DIESES SPIEL VERLANGT EINEN",
    "WACHEN VERSTAND UND SCHNELLE REFLEXE.",
    TEXT_EMPTY,
    "WER KEINE STARKEN NERVEN HAT,",
    "H" O_DIA "RT BESSER JETZT AUF UND SPIELT",
    "ETWAS ANDERES.",
    // 105: spare lines
    TEXT_EMPTY,
    "ICH",
    "NEHME",
    "KEINE DROGEN,",
    "ICH BIN",
    "DIE DROGE!",
    // 111: title scroller
    TEXT_SCROLLER_DE,
};

static constexpr const char* MESSAGES_FR[MESSAGE_COUNT] = {
    // 0: death causes
    "EMPAL" E_ACUTE " " A_GRAVE " MORT",
    "CHUTE MORTELLE",
    E_ACUTE "CRASEMENT L" E_ACUTE "TAL",
    "ENLEV" E_ACUTE " PAR UN OVNI!",
    "EMPOISONNEMENT FATAL",
    "MORDU " A_GRAVE " MORT!",
    "D" E_ACUTE "VOR" E_ACUTE " TOUT CRU!",
    "TU" E_ACUTE " PAR UN ANDRO" I_DIA "DE!",
    // 8: spare
    "GAUCHE POUR LES GRAPHISMES CLASSIQUES",
    "DROITE POUR LES GRAPHISMES DELUXE",
    // 10: status line, pause, play messages, title and main menu
    " TEMPS:",
    MESSAGES_EN[11],
    MESSAGES_EN[12],
    MESSAGES_EN[13],
    "CONTINUER",
    "QUITTER",
    "FLOOB, COURS!",
    E_ACUTE "MERAUDES OUBLI" E_ACUTE "ES!",
    "METTEZ PAUSE ET CHOISISSEZ SUICIDE",
    "APPUYEZ SUR START",
    "NOUVELLE PARTIE",
    "CONTINUER",
    "MEILLEURS SCORES",
    MESSAGES_EN[23],
    // 24: options and configuration
    "PRESSEZ START",
    "NON DISPONIBLE",
    "R" E_ACUTE "GLER LES TOUCHES",
    "APPUYEZ SUR LA TOUCHE START",
    "APPUYEZ SUR LA TOUCHE GAUCHE",
    "APPUYEZ SUR LA TOUCHE DROITE",
    "APPUYEZ SUR LA TOUCHE HAUT",
    "APPUYEZ SUR LA TOUCHE BAS",
    "APPUYEZ SUR LA TOUCHE SAUT",
    "APPUYEZ SUR LA TOUCHE PAUSE",
    "R" E_ACUTE "GLER LA MANETTE",
    "APPUYEZ SUR LE BOUTON START",
    "APPUYEZ SUR LE BOUTON SAUT",
    "APPUYEZ SUR LE BOUTON PAUSE",
    "VOLUME MUSIQUE",
    "VOLUME EFFETS",
    "R" E_ACUTE "GLAGES DE L'" E_ACUTE "CRAN",
    "FEN" E_CIRC "TRE 320 X 240",
    "FEN" E_CIRC "TRE 640 X 480",
    "PLEIN " E_ACUTE "CRAN",
    "R" E_ACUTE "GLAGES DU ZOOM",
    "NON DISPONIBLE",
    MESSAGES_EN[46],
    MESSAGES_EN[47],
    "LIGNES DE BALAYAGE",
    "BILIN" E_ACUTE "AIRE AA",
    "ANTICR" E_ACUTE "NELAGE",
    "(RED" E_ACUTE "MARRER POUR APPLIQUER)",
    "HAUT POUR SAUTER",
    "OUI",
    "NON",
    "TEST SONORE",
    "VALEURS PAR D" E_ACUTE "FAUT",
    "RETOUR AU MENU",
    "APPLIQUER ET REVENIR AU MENU",
    "D" E_ACUTE "J" A_GRAVE " PRIS, FAITES UN AUTRE CHOIX",
    // 60: name entry, game flow, quit question, level end
    "ENTREZ VOTRE NOM",
    "TEMPS " E_ACUTE "COUL" E_ACUTE,
    "NOY" E_ACUTE,
    "QUITTER?",
    "GAUCHE POUR OUI, DROITE POUR NON",
    "UN " E_ACUTE "VENTUEL MEILLEUR SCORE SERA PERDU",
    "BONUS TEMPS",
    "BONUS VIE",
    "F" E_ACUTE "LICITATIONS",
    "NIVEAU SUIVANT",
    "EN APPROCHE",
    // 71: ending story
    "FLOOB A REJOINT SON",
    "PLANEUR AVEC UN SAC",
    "PLEIN D'" E_ACUTE "MERAUDES!",
    "RENTRONS!",
    // 75: opening story
    "FLOOB A FAIT",
    "UNE BALADE DE PLUS",
    "ET A ENCORE PERDU",
    "SES AFFAIRES.",
    "RAPPORTEZ TOUTES",
    "LES " E_ACUTE "MERAUDES",
    "VERTES AVANT DE",
    "RENTRER SUR TERRE!",
    // 83: score, game over, continue
    MESSAGES_EN[83],
    MESSAGES_EN[84],
    "CONTINUER?",
    // 86: credits screen
    "REMERCIEMENTS",
    "CE PROJET UTILISE DU CODE DES",
    "PROJETS OPEN-SOURCE SUIVANTS:",
    TEXT_EMPTY,
    MESSAGES_EN[90],
    "ET ZLIB",
    "VOUS POUVEZ OBTENIR LE CODE SOURCE",
    "DE CES BIBLIOTH" E_GRAVE "QUES EN VISITANT",
    "LEURS PAGES D'ACCUEIL RESPECTIVES.",
    TEXT_EMPTY,
    "APPUYEZ SUR ACTION OU SUR UNE TOUCHE",
    // 97: warning screen
    "ATTENTION",
    TEXT_EMPTY,
    "CE JEU EXIGE UN ESPRIT VIF",
    "ET DES R" E_ACUTE "FLEXES TR" E_GRAVE "S RAPIDES.",
    TEXT_EMPTY,
    "SI VOUS N'AVEZ PAS LES NERFS SOLIDES,",
    "QUITTEZ LE JEU MAINTENANT ET",
    "JOUEZ " A_GRAVE " AUTRE CHOSE.",
    // 105: spare lines
    TEXT_EMPTY,
    TEXT_EMPTY,
    "JE NE",
    "PRENDS PAS",
    "DE DROGUE,",
    "JE SUIS LA DROGUE!",
    // 111: title scroller
    TEXT_SCROLLER_FR,
};

static constexpr const char* MESSAGES_ES[MESSAGE_COUNT] = {
    // 0: death causes
    "EMPALADO",
    "CA" I_ACUTE "DA MORTAL",
    "APLASTADO",
    "GOLPEADO POR UN OVNI",
    "LO ENVENEN" O_ACUTE " UN BICHO",
    "MORDIDO POR DR" A_ACUTE "CULA",
    "DEVORADO POR PECES",
    "LO MAT" O_ACUTE " UN ANDROIDE",
    // 8: spare
    "IZQUIERDA PARA GR" A_ACUTE "FICOS CL" A_ACUTE "SICOS",
    "DERECHA PARA GR" A_ACUTE "FICOS DELUXE",
    // 10: status line, pause, play messages, title and main menu
    "TIEMPO",
    "  AIRE",
    "-PAUSA-",
    "SUICIDIO",
    "SEGUIR",
    "SALIR",
    INV_EXCL "FLOOB, CORRE!",
    INV_EXCL "FALTAN ESMERALDAS!",
    "PAUSA EL JUEGO Y ELIGE SUICIDIO",
    "PULSA START",
    "NUEVA PARTIDA",
    "CONTINUAR",
    "R" E_ACUTE "CORDS",
    "OPCIONES",
    // 24: options and configuration
    "PULSA START",
    "NO DISPONIBLE",
    "CONFIGURAR TECLAS",
    "PULSA LA TECLA START",
    "PULSA LA TECLA IZQUIERDA",
    "PULSA LA TECLA DERECHA",
    "PULSA LA TECLA ARRIBA",
    "PULSA LA TECLA ABAJO",
    "PULSA LA TECLA DE SALTO",
    "PULSA LA TECLA DE PAUSA",
    "CONFIGURAR MANDO",
    "PULSA EL BOT" O_ACUTE "N START",
    "PULSA EL BOT" O_ACUTE "N DE SALTO",
    "PULSA EL BOT" O_ACUTE "N DE PAUSA",
    "VOLUMEN DE M" U_ACUTE "SICA",
    "VOLUMEN DE EFECTOS",
    "AJUSTES DE PANTALLA",
    "VENTANA 320 X 240",
    "VENTANA 640 X 480",
    "PANTALLA COMPLETA",
    "AJUSTES DE ESCALADO",
    "NO DISPONIBLE",
    MESSAGES_EN[46],
    MESSAGES_EN[47],
    "L" I_ACUTE "NEAS DE BARRIDO",
    "BILINEAL AA",
    "SUAVIZADO",
    "(REINICIA PARA APLICAR)",
    "ARRIBA PARA SALTAR",
    "S" I_ACUTE,
    MESSAGES_EN[54],
    "PRUEBA DE SONIDO",
    "VALORES POR DEFECTO",
    "VOLVER AL MEN" U_ACUTE,
    "APLICAR Y VOLVER AL MEN" U_ACUTE,
    "YA EN USO, ESCOGE OTRA OPCI" O_ACUTE "N",
    // 60: name entry, game flow, quit question, level end
    "ESCRIBE TU NOMBRE",
    "SIN TIEMPO",
    "AHOGADO",
    INV_QUEST "QUIERES SALIR?",
    "IZQUIERDA PARA S" I_ACUTE ", DERECHA PARA NO",
    "SE PERDER" A_ACUTE " CUALQUIER R" E_ACUTE "CORD POSIBLE",
    "BONO DE TIEMPO",
    "BONO DE VIDAS",
    INV_EXCL "ENHORABUENA!",
    "SIGUIENTE FASE",
    "A CONTINUACI" O_ACUTE "N",
    // 71: ending story
    INV_EXCL "FLOOB LLEG" O_ACUTE " A SU",
    "PLANEADOR CON UNA",
    "BOLSA DE ESMERALDAS!",
    INV_EXCL "VAMOS A CASA!",
    // 75: opening story
    "FLOOB DIO OTRO",
    "PASEO Y, COMO",
    "SIEMPRE, VOLVI" O_ACUTE,
    "A PERDER COSAS.",
    INV_EXCL "RECUPERA TODAS",
    "LAS ESMERALDAS",
    "VERDES ANTES DE",
    "VOLVER A LA TIERRA!",
    // 83: score, game over, continue
    "PUNTUACI" O_ACUTE "N",
    INV_EXCL "FIN DEL JUEGO!",
    INV_QUEST "CONTINUAR?",
    // 86: credits screen
    "CR" E_ACUTE "DITOS",
    "ESTE PROYECTO USA C" O_ACUTE "DIGO DE",
    "LOS SIGUIENTES PROYECTOS DE",
    "C" O_ACUTE "DIGO ABIERTO:",
    MESSAGES_EN[90],
    "Y ZLIB",
    "PUEDES OBTENER EL C" O_ACUTE "DIGO FUENTE",
    "DE ESAS BIBLIOTECAS VISITANDO",
    "SUS RESPECTIVAS P" A_ACUTE "GINAS WEB.",
    TEXT_EMPTY,
    "PULSA ACCI" O_ACUTE "N O CUALQUIER TECLA",
    // 97: warning screen
    INV_EXCL "ATENCI" O_ACUTE "N!",
    TEXT_EMPTY,
    "ESTE JUEGO EXIGE UNA MENTE AGUDA",
    "Y REFLEJOS MUY R" A_ACUTE "PIDOS.",
    TEXT_EMPTY,
    "SI NO TIENES NERVIOS DE ACERO,",
    "MEJOR DEJA EL JUEGO AHORA Y",
    "JUEGA A OTRA COSA.",
    // 105: spare lines
    TEXT_EMPTY,
    TEXT_EMPTY,
    "YO NO",
    "TOMO",
    "DROGAS,",
    INV_EXCL "YO SOY LA DROGA!",
    // 111: title scroller
    TEXT_SCROLLER_ES,
};

// The table proper: element language * MESSAGE_COUNT + id, read row by row.
static const char* const* const MESSAGE_ROWS[LANGUAGE_COUNT] = {MESSAGES_EN, MESSAGES_DE, MESSAGES_FR, MESSAGES_ES};

const char* message_text_in(int32_t lang, int32_t id) {
    // An id or language outside the table reads as a blank line instead of foreign memory.
    if (lang < 0 || lang >= LANGUAGE_COUNT || id < 0 || id >= MESSAGE_COUNT) return TEXT_EMPTY;
    return MESSAGE_ROWS[lang][id];
}

const char* message_text(int32_t id) { return message_text_in(language, id); }
