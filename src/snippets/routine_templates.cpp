#include "snippets/templates.h"

namespace ondrel {

// Every line below becomes one generated line ending in CR LF; "" is an empty line.
// The texts are exact: runs of spaces, full-width characters, ideographic spaces (U+3000) and
// the backslashes inside Perl strings all belong to them.
// clang-format off
// ＨＴＭＬ出力ヘッダー: the content-type header line
const Template kHtmlHeader = {{
    {
        R"(print "Content-type: text/html\n\n";)",
    },
}};
// 時間の取得: routine get_time
const Template kGetTimeRoutine = {{
    {
        R"(sub get_time {)",
        R"(   # 日本時間)",
        R"(   $ENV{'TZ'} = "JST-9";)",
        R"(   $times = time;)",
        R"(   ($sec,$min,$hour,$mday,$mon,$year,$wday) = localtime($times);)",
        R"(   @week = ('Sun','Mon','Tue','Wed','Thu','Fri','Sat');)",
        "",
        R"(   # 日時のフォーマット)",
        R"(   $date = sprintf("%04d/%02d/%02d(%s) %02d:%02d",)",
        R"(       $year+1900,$mon+1,$mday,$week[$wday],$hour,$min);)",
        R"(   return ($date, $times);)",
        R"(})",
    },
}};
// IPとHOSTの取得: routine get_host
const Template kHostRoutine = {{
    {
        R"(sub get_host {)",
        R"(   $host = $ENV{'REMOTE_HOST'};)",
        R"(   $addr = $ENV{'REMOTE_ADDR'};)",
        R"(   if ($host eq "" || $host eq "$addr") {)",
        R"(       $host = gethostbyaddr(pack("C4", split(/\./, $addr)), 2);)",
        R"(   })",
        R"(   if ($host eq "") { $host = $addr; })",
        "",
        R"(   return ($addr, $host))",
        R"(})",
    },
}};
// フォームデータ取得: routine formdata, then an empty line
const Template kFormDataRoutine = {{
    {
        R"(sub formdata{)",
        R"(   if ($ENV{'REQUEST_METHOD'} eq "POST") { read(STDIN, $buffer, $ENV{'CONTENT_LENGTH'}); })",
        R"(   else { $buffer = $ENV{'QUERY_STRING'}; })",
        R"(   @pairs = split(/&/,$buffer);)",
        R"(   foreach $pair (@pairs) {)",
        R"(       ($name, $value) = split(/=/, $pair);)",
        R"(       $value =~ tr/+/ /;)",
        R"(       $value =~ s/%([a-fA-F0-9][a-fA-F0-9])/pack("C", hex($1))/eg;)",
        R"(       $FORM{$name} = $value;)",
        R"(   })",
        R"(})",
        "",
    },
}};
// ブラウザ情報取得: routine browza and its comment, then an empty line
const Template kBrowserRoutine = {{
    {
        R"(sub browza {)",
        R"(   $b_data = "$ENV{'HTTP_USER_AGENT'}";)",
        R"(})",
        R"(# $b_dataにブラウザ情報が入ってます。)",
        "",
    },
}};
// エラー処理: routine error
const Template kErrorRoutine = {{
    {
        R"(sub error {)",
        R"(   #  &error(xx); ()内の数字が $error に代入される。)",
        R"(   $ErrMsg = $_[0];)",
        R"(   print "Content-type: text/html\n\n";)",
        R"(   print "<html>\n";)",
        R"(   print "<head>\n";)",
        R"(   print "<title>$title</title>\n";)",
        R"(   print "</head>\n";)",
        R"(   print "<body>\n";)",
        R"(   print "<BR><BR><br>\n";)",
        R"(   print "<p><font size=4 color=\"red\">$ErrMsgエラーが発生しました。<BR><BR></font>\n";)",
        R"(   print "<A HREF=\"JavaScript:history.back()\">もどる</A><BR>\n";)",
        R"(   print "*上のリンクで戻れない場合、<A HREF=\"$ENV{HTTP_REFERER}\">\"ここ\"</A>をクリックするか<BR>\n";)",
        R"(   print "ブラウザのボタンでもどってください。\n";)",
        R"(   print "</body></html>\n";)",
        R"(   exit;)",
        R"(})",
    },
}};
// clang-format on

}  // namespace ondrel
