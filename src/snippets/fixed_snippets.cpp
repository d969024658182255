#include "snippets/fixed_snippets.h"

namespace ondrel {

const std::array<FixedSnippet, 19> kFixedSnippets = {{
    // 関数や宣言 > パス名
    {"mnupath1", "#!/usr/bin/perl"},
    {"mnulocal", "#!/usr/local/bin/perl"},
    {"mnumesh", "#!/usr/mesh/bin/perl"},
    // 関数や宣言: the only fixed snippet that ends with a line break
    {"mnufile_get", "require './ライブラリ名';\r\n"},
    // 環境変数
    {"mnuaddr", "$ENV{'REMOTE_ADDR'}"},
    {"mnuhost", "$ENV{'REMOTE_HOST'}"},
    {"mnuuser", "$ENV{'REMOTE_USER'}"},
    {"mnuagent", "$ENV{'HTTP_USER_AGENT'}"},
    {"mnumethod", "$ENV{'REQUEST_METHOD'}"},
    {"mnucookie", "$ENV{'HTTP_COOKIE'}"},
    {"mnusfn", "$ENV{'SCRIPT_FILENAME'}"},
    {"mnusvrname", "$ENV{'SERVER_NAME'}"},
    {"mnusvrport", "$ENV{'SERVER_PORT'}"},
    {"mnusvrsf", "$ENV{'SERVER_SOFTWARE'}"},
    {"mnudcroot", "$ENV{'DOCUMENT_ROOT'}"},
    {"mnutime", "$ENV{'TZ'}"},
    {"mnuoathinfo", "$ENV{'PATH_INFO'}"},
    {"mnupathtranslated", "$ENV{'PATH_TRANSLATED'}"},
    {"mnugateway", "$ENV{'GATEWAY_INTERFACE'}"},
}};

}  // namespace ondrel
