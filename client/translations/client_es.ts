<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>main</name>
    <message>
        <source>Client</source>
        <translation>Cliente</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <source>Menu</source>
        <translation>Menú</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Mosaico</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>Grabaciones</translation>
    </message>
    <message>
        <source>Transactions</source>
        <translation>Transacciones</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Eventos</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Layouts</source>
        <translation>Mosaicos</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Cámaras</translation>
    </message>
    <message>
        <source>Do you want to close the console?</source>
        <translation>¿Desea cerrar la consola?</translation>
    </message>
</context>
<context>
    <name>PlaybackControls</name>
    <message>
        <source>Play</source>
        <translation>Reproducir</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausa</translation>
    </message>
    <message>
        <source>Next frame</source>
        <translation>Fotograma siguiente</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Velocidad</translation>
    </message>
</context>
<context>
    <name>CameraView</name>
    <message>
        <source>Snapshot</source>
        <translation>Captura</translation>
    </message>
    <message>
        <source>Saved: %1</source>
        <translation>Guardada: %1</translation>
    </message>
</context>
<context>
    <name>Snapshot</name>
    <message>
        <source>Nothing to save</source>
        <translation>No hay nada que guardar</translation>
    </message>
    <message>
        <source>The picture could not be taken</source>
        <translation>No se pudo tomar la imagen</translation>
    </message>
    <message>
        <source>The picture could not be saved</source>
        <translation>No se pudo guardar la imagen</translation>
    </message>
</context>
<context>
    <name>SearchField</name>
    <message>
        <source>Find</source>
        <translation>Buscar</translation>
    </message>
</context>
<context>
    <name>FoundObjectsView</name>
    <message>
        <source>Nothing found</source>
        <translation>Nada encontrado</translation>
    </message>
</context>
</TS>
