#pragma once

namespace ondrel {

// The texts that menu items insert as they stand, UTF-8: the shebang lines, the library line
// (the only one that ends with a line break) and the environment variables.
inline constexpr char kUsrBinPerl[] = "#!/usr/bin/perl";
inline constexpr char kUsrLocalBinPerl[] = "#!/usr/local/bin/perl";
inline constexpr char kUsrMeshBinPerl[] = "#!/usr/mesh/bin/perl";
inline constexpr char kRequireLibrary[] = "require './ライブラリ名';\r\n";

inline constexpr char kEnvRemoteAddr[] = "$ENV{'REMOTE_ADDR'}";
inline constexpr char kEnvRemoteHost[] = "$ENV{'REMOTE_HOST'}";
inline constexpr char kEnvRemoteUser[] = "$ENV{'REMOTE_USER'}";
inline constexpr char kEnvHttpUserAgent[] = "$ENV{'HTTP_USER_AGENT'}";
inline constexpr char kEnvRequestMethod[] = "$ENV{'REQUEST_METHOD'}";
inline constexpr char kEnvHttpCookie[] = "$ENV{'HTTP_COOKIE'}";
inline constexpr char kEnvScriptFilename[] = "$ENV{'SCRIPT_FILENAME'}";
inline constexpr char kEnvServerName[] = "$ENV{'SERVER_NAME'}";
inline constexpr char kEnvServerPort[] = "$ENV{'SERVER_PORT'}";
inline constexpr char kEnvServerSoftware[] = "$ENV{'SERVER_SOFTWARE'}";
inline constexpr char kEnvDocumentRoot[] = "$ENV{'DOCUMENT_ROOT'}";
inline constexpr char kEnvTz[] = "$ENV{'TZ'}";
inline constexpr char kEnvPathInfo[] = "$ENV{'PATH_INFO'}";
inline constexpr char kEnvPathTranslated[] = "$ENV{'PATH_TRANSLATED'}";
inline constexpr char kEnvGatewayInterface[] = "$ENV{'GATEWAY_INTERFACE'}";

}  // namespace ondrel
