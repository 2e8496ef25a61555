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
<context>
    <name>Sidebar</name>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Mosaico</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>Gravações</translation>
    </message>
    <message>
        <source>Transactions</source>
        <translation>Transações</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Eventos</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>Layouts</source>
        <translation>Mosaicos</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Câmeras</translation>
    </message>
    <message>
        <source>Do you want to close the console?</source>
        <translation>Deseja fechar o console?</translation>
    </message>
</context>
<context>
    <name>PlaybackControls</name>
    <message>
        <source>Play</source>
        <translation>Reproduzir</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausar</translation>
    </message>
    <message>
        <source>Next frame</source>
        <translation>Próximo quadro</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Velocidade</translation>
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
        <translation>Salva: %1</translation>
    </message>
</context>
<context>
    <name>Snapshot</name>
    <message>
        <source>Nothing to save</source>
        <translation>Nada para salvar</translation>
    </message>
    <message>
        <source>The picture could not be taken</source>
        <translation>Não foi possível capturar a imagem</translation>
    </message>
    <message>
        <source>The picture could not be saved</source>
        <translation>Não foi possível salvar a imagem</translation>
    </message>
</context>
<context>
    <name>SearchField</name>
    <message>
        <source>Find</source>
        <translation>Procurar</translation>
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
