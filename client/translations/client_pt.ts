<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt">
<context>
    <name>main</name>
    <message>
        <source>Client</source>
        <translation>Cliente</translation>
    </message>
</context>
</TS>
