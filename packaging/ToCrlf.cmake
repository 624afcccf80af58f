# cmake -DIN=... -DOUT=... -P ToCrlf.cmake
# Copies a text file with CRLF line ends, whatever the source used.
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
