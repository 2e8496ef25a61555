<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt">
<context>
    <name>AlarmView</name>
    <message>
        <source>%1 new</source>
        <translation>%1 novos</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>Reconhecer</translation>
    </message>
    <message>
        <source>No events</source>
        <translation>Sem eventos</translation>
    </message>
</context>
<context>
    <name>BookmarkNoteField</name>
    <message>
        <source>Bookmark %1 at %2</source>
        <translation>Marcador de %1 às %2</translation>
    </message>
    <message>
        <source>Note (Enter keeps it, Esc drops it)</source>
        <translation>Nota (Enter guarda, Esc descarta)</translation>
    </message>
    <message>
        <source>The note is cut at 500 characters</source>
        <translation>A nota é cortada aos 500 caracteres</translation>
    </message>
</context>
<context>
    <name>BookmarksPage</name>
    <message>
        <source>1 bookmark</source>
        <translation>1 marcador</translation>
    </message>
    <message>
        <source>%1 bookmarks</source>
        <translation>%1 marcadores</translation>
    </message>
    <message>
        <source>This camera is no longer on the site</source>
        <translation>Esta câmara já não está no local</translation>
    </message>
    <message>
        <source>Delete the bookmark of %1 at %2?</source>
        <translation>Apagar o marcador de %1 às %2?</translation>
    </message>
    <message>
        <source>Find words in notes, cameras, names</source>
        <translation>Procurar palavras em notas, câmaras, nomes</translation>
    </message>
    <message>
        <source>Delete…</source>
        <translation>Apagar…</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Câmara</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Nota</translation>
    </message>
    <message>
        <source>Who</source>
        <translation>Quem</translation>
    </message>
    <message>
        <source>%1 (removed)</source>
        <translation>%1 (removida)</translation>
    </message>
    <message>
        <source>No bookmarks yet: B marks the moment shown</source>
        <translation>Ainda sem marcadores: B marca o momento mostrado</translation>
    </message>
    <message>
        <source>No bookmark matches</source>
        <translation>Nenhum marcador corresponde</translation>
    </message>
    <message>
        <source>Delete bookmark</source>
        <translation>Apagar marcador</translation>
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
    <message>
        <source>Not a network stream, not played: %1</source>
        <translation>Não é um stream de rede, não reproduzido: %1</translation>
    </message>
    <message>
        <source>1:1</source>
        <translation>1:1</translation>
    </message>
</context>
<context>
    <name>CellStatus</name>
    <message>
        <source>Access denied by the camera, retrying in %1 s</source>
        <translation>A câmera negou o acesso, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>The camera does not know this stream, retrying in %1 s</source>
        <translation>A câmera não conhece este stream, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>The camera does not answer, retrying in %1 s</source>
        <translation>A câmera não responde, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>The video cannot be decoded, retrying in %1 s</source>
        <translation>Não é possível decodificar o vídeo, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>The camera does not speak RTSP, retrying in %1 s</source>
        <translation>A câmera não fala RTSP, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>The camera refuses the connection, retrying in %1 s</source>
        <translation>A câmera recusa a conexão, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>The camera closed the connection, retrying in %1 s</source>
        <translation>A câmera fechou a conexão, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>No signal, retrying in %1 s</source>
        <translation>Sem sinal, nova tentativa em %1 s</translation>
    </message>
    <message>
        <source>Connecting…</source>
        <translation>Conectando…</translation>
    </message>
</context>
<context>
    <name>ConnectionBanner</name>
    <message>
        <source>Connection to the server lost. Reconnecting…</source>
        <translation>Conexão com o servidor perdida. Reconectando…</translation>
    </message>
    <message>
        <source>Connection to the server lost. Next attempt in %1 s</source>
        <translation>Conexão com o servidor perdida. Nova tentativa em %1 s</translation>
    </message>
</context>
<context>
    <name>DoorView</name>
    <message>
        <source>State unknown</source>
        <translation>Estado desconhecido</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fechar</translation>
    </message>
</context>
<context>
    <name>Downloader</name>
    <message>
        <source>Not an HTTP address</source>
        <translation>Não é um endereço HTTP</translation>
    </message>
    <message>
        <source>The gateway answered HTTP %1</source>
        <translation>O gateway respondeu HTTP %1</translation>
    </message>
    <message>
        <source>The gateway sent more than the recording holds (over %1 bytes)</source>
        <translation>O gateway enviou mais do que a gravação contém (mais de %1 bytes)</translation>
    </message>
    <message>
        <source>The gateway stopped sending: %1 bytes in the last %2 s</source>
        <translation>O gateway parou de enviar: %1 bytes nos últimos %2 s</translation>
    </message>
</context>
<context>
    <name>EventsPage</name>
    <message>
        <source>All classes</source>
        <translation>Todas as classes</translation>
    </message>
    <message>
        <source>All sources</source>
        <translation>Todas as origens</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Novo</translation>
    </message>
    <message>
        <source>Acknowledged by %1 at %2</source>
        <translation>Reconhecido por %1 às %2</translation>
    </message>
    <message>
        <source>1 event</source>
        <translation>1 evento</translation>
    </message>
    <message>
        <source>%1 events</source>
        <translation>%1 eventos</translation>
    </message>
    <message>
        <source>%1, %2 new</source>
        <translation>%1, novos: %2</translation>
    </message>
    <message>
        <source>New only</source>
        <translation>Só novos</translation>
    </message>
    <message>
        <source>Find in events</source>
        <translation>Buscar nos eventos</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>Reconhecer</translation>
    </message>
    <message>
        <source>Play the layout at this time</source>
        <translation>Reproduzir o mosaico neste horário</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>Reconhecer todos</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Origem</translation>
    </message>
    <message>
        <source>Class</source>
        <translation>Classe</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Evento</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>No events yet</source>
        <translation>Ainda não há eventos</translation>
    </message>
    <message>
        <source>No event matches</source>
        <translation>Nenhum evento corresponde</translation>
    </message>
</context>
<context>
    <name>ExportPanel</name>
    <message>
        <source>In %1  Out %2</source>
        <translation>Entrada %1  Saída %2</translation>
    </message>
    <message>
        <source>I and O mark in and out at the play head; Shift+drag on the timeline marks a range</source>
        <translation>I e O marcam entrada e saída no cursor; Shift+arrastar na linha do tempo marca um trecho</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportar</translation>
    </message>
    <message>
        <source>The manifest is signed with this console&apos;s key, SHA-256 %1</source>
        <translation>O manifesto é assinado com a chave deste console, SHA-256 %1</translation>
    </message>
    <message>
        <source>The manifest is signed with this console&apos;s key, made at the first export</source>
        <translation>O manifesto é assinado com a chave deste console, criada na primeira exportação</translation>
    </message>
    <message>
        <source>%1 of %2 s</source>
        <translation>%1 de %2 s</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Abrir pasta</translation>
    </message>
</context>
<context>
    <name>ExportPlan</name>
    <message>
        <source>%1: %2 to %3%4</source>
        <translation>%1: de %2 a %3%4</translation>
    </message>
</context>
<context>
    <name>FoundObjectsView</name>
    <message>
        <source>Nothing found</source>
        <translation>Nada encontrado</translation>
    </message>
</context>
<context>
    <name>LayoutBookmarks</name>
    <message>
        <source>Click a camera, then press B</source>
        <translation>Clique numa câmara e prima B</translation>
    </message>
</context>
<context>
    <name>LayoutPlaybackBar</name>
    <message>
        <source>Play</source>
        <translation>Reproduzir</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausar</translation>
    </message>
    <message>
        <source>One frame back</source>
        <translation>Um quadro para trás</translation>
    </message>
    <message>
        <source>One frame on</source>
        <translation>Um quadro para frente</translation>
    </message>
    <message>
        <source>PLAYBACK  %1</source>
        <translation>REPRODUÇÃO  %1</translation>
    </message>
    <message>
        <source>Back to live</source>
        <translation>Voltar ao vivo</translation>
    </message>
    <message>
        <source>Every cell live again (Esc)</source>
        <translation>Todas as células ao vivo de novo (Esc)</translation>
    </message>
    <message>
        <source>Bookmark</source>
        <translation>Marcador</translation>
    </message>
    <message>
        <source>Mark this moment of the camera shown alone or last clicked (B)</source>
        <translation>Marcar este momento da câmara mostrada sozinha ou clicada por último (B)</translation>
    </message>
</context>
<context>
    <name>LoginPage</name>
    <message>
        <source>Working</source>
        <translation>Processando</translation>
    </message>
    <message>
        <source>server information</source>
        <translation>dados do servidor</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Servidor</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Porta</translation>
    </message>
    <message>
        <source>login credentials</source>
        <translation>credenciais de acesso</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Usuário</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Senha</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Entrar</translation>
    </message>
</context>
<context>
    <name>MainPage</name>
    <message>
        <source>Playback: the whole layout from one minute ago (Ctrl+P)</source>
        <translation>Reprodução: o mosaico inteiro desde um minuto atrás (Ctrl+P)</translation>
    </message>
    <message>
        <source>No camera shows this event&apos;s source</source>
        <translation>Nenhuma câmera mostra a origem deste evento</translation>
    </message>
</context>
<context>
    <name>MomentField</name>
    <message>
        <source>Go to… (Ctrl+G)</source>
        <translation>Ir para… (Ctrl+G)</translation>
    </message>
    <message>
        <source>A moment to play: 2026-12-08 14:30, 14:30 (today) or yesterday 14:30</source>
        <translation>Um momento para reproduzir: 2026-12-08 14:30, 14:30 (hoje) ou yesterday 14:30</translation>
    </message>
</context>
<context>
    <name>MomentParser</name>
    <message>
        <source>Type a moment as 2026-12-08 14:30, 14:30 (today) or yesterday 14:30; seconds may follow (14:30:15)</source>
        <translation>Digite um momento como 2026-12-08 14:30, 14:30 (hoje) ou yesterday 14:30; os segundos são opcionais (14:30:15)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a moment. %2</source>
        <translation>&quot;%1&quot; não é um momento. %2</translation>
    </message>
    <message>
        <source>There is no day %1. %2</source>
        <translation>Não existe o dia %1. %2</translation>
    </message>
    <message>
        <source>There is no time %1 in a day. %2</source>
        <translation>Não existe a hora %1 em um dia. %2</translation>
    </message>
    <message>
        <source>%1 did not happen here: the clock was put forward over it</source>
        <translation>%1 não existiu aqui: o relógio foi adiantado</translation>
    </message>
    <message>
        <source>%1 happened twice here: the clock was put back over it; choose a moment outside that hour</source>
        <translation>%1 aconteceu duas vezes aqui: o relógio foi atrasado; escolha um momento fora dessa hora</translation>
    </message>
    <message>
        <source>%1 is still to come</source>
        <translation>%1 ainda não chegou</translation>
    </message>
</context>
<context>
    <name>MotionSearch</name>
    <message>
        <source>Choose a camera whose gateway is known first</source>
        <translation>Escolha primeiro uma câmera cujo gateway seja conhecido</translation>
    </message>
    <message>
        <source>Mark an area of the picture first</source>
        <translation>Marque primeiro uma área da imagem</translation>
    </message>
    <message>
        <source>An area has no size: draw it larger</source>
        <translation>Uma área não tem tamanho: desenhe-a maior</translation>
    </message>
    <message>
        <source>The range to search is empty</source>
        <translation>O intervalo a buscar está vazio</translation>
    </message>
    <message>
        <source>A search covers at most 7 days: choose a shorter range</source>
        <translation>Uma busca cobre no máximo 7 dias: escolha um intervalo menor</translation>
    </message>
    <message>
        <source>Part of the range could not be listed by the event server: it was not searched</source>
        <translation>O servidor de eventos não conseguiu listar parte do intervalo: essa parte não foi pesquisada</translation>
    </message>
</context>
<context>
    <name>MotionSearchPanel</name>
    <message>
        <source>Motion search</source>
        <translation>Busca de movimento</translation>
    </message>
    <message>
        <source>Drag on the picture to mark where to look; several areas may be marked.</source>
        <translation>Arraste sobre a imagem para marcar onde procurar; várias áreas podem ser marcadas.</translation>
    </message>
    <message>
        <source>Clear the areas</source>
        <translation>Limpar as áreas</translation>
    </message>
    <message>
        <source>What the timeline shows</source>
        <translation>O que a linha do tempo mostra</translation>
    </message>
    <message>
        <source>The last hour</source>
        <translation>A última hora</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Hoje</translation>
    </message>
    <message>
        <source>From… to…</source>
        <translation>De… até…</translation>
    </message>
    <message>
        <source>From</source>
        <translation>De</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Até</translation>
    </message>
    <message>
        <source>Sensitivity</source>
        <translation>Sensibilidade</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Baixa</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Média</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Alta</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>%1 of %2 hours searched</source>
        <translation>%1 de %2 horas buscadas</translation>
    </message>
    <message>
        <source>%1 of %2 minutes searched</source>
        <translation>%1 de %2 minutos buscados</translation>
    </message>
    <message>
        <source>Moments found: %1</source>
        <translation>Momentos encontrados: %1</translation>
    </message>
    <message>
        <source>1 recording could not be read</source>
        <translation>1 gravação não pôde ser lida</translation>
    </message>
    <message>
        <source>%1 recordings could not be read</source>
        <translation>%1 gravações não puderam ser lidas</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
</context>
<context>
    <name>PlaybackCellTexts</name>
    <message>
        <source>No recording</source>
        <translation>Sem gravação</translation>
    </message>
    <message>
        <source>The gateway does not answer</source>
        <translation>O gateway não responde</translation>
    </message>
    <message>
        <source>Recordings unavailable</source>
        <translation>Gravações indisponíveis</translation>
    </message>
    <message>
        <source>Searching the recordings…</source>
        <translation>Buscando as gravações…</translation>
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
    <name>RecordedChoices</name>
    <message>
        <source>Delete all streams</source>
        <translation>Apagar todos os streams</translation>
    </message>
</context>
<context>
    <name>RecordedControls</name>
    <message>
        <source>Play the layout from here</source>
        <translation>Reproduzir o mosaico daqui</translation>
    </message>
    <message>
        <source>Every camera of the layout at this moment, in step</source>
        <translation>Todas as câmeras do mosaico neste momento, sincronizadas</translation>
    </message>
    <message>
        <source>Bookmark</source>
        <translation>Marcador</translation>
    </message>
    <message>
        <source>Mark the moment shown with a note (B)</source>
        <translation>Marcar o momento mostrado com uma nota (B)</translation>
    </message>
    <message>
        <source>Motion search</source>
        <translation>Busca de movimento</translation>
    </message>
    <message>
        <source>Find the moments something moved in an area of the picture (Ctrl+M)</source>
        <translation>Encontrar os momentos em que algo se moveu em uma área da imagem (Ctrl+M)</translation>
    </message>
</context>
<context>
    <name>RecordedPage</name>
    <message>
        <source>The receipts of this recording could not be fetched</source>
        <translation>Não foi possível obter os cupons desta gravação</translation>
    </message>
    <message>
        <source>Available streams</source>
        <translation>Streams disponíveis</translation>
    </message>
    <message>
        <source>Recorded chunks</source>
        <translation>Trechos gravados</translation>
    </message>
    <message>
        <source>start: %1</source>
        <translation>início: %1</translation>
    </message>
    <message>
        <source>end: %1</source>
        <translation>fim: %1</translation>
    </message>
    <message>
        <source>size: %1</source>
        <translation>tamanho: %1</translation>
    </message>
    <message>
        <source>Opening the recording…</source>
        <translation>Abrindo a gravação…</translation>
    </message>
    <message>
        <source>No recorded video at that time</source>
        <translation>Não há vídeo gravado nesse horário</translation>
    </message>
    <message>
        <source>Receipt in %1 s</source>
        <translation>Cupom em %1 s</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>Cupom</translation>
    </message>
    <message>
        <source>%1 s after the receipt</source>
        <translation>%1 s depois do cupom</translation>
    </message>
    <message>
        <source>Play from %1</source>
        <translation>Reproduzir a partir de %1</translation>
    </message>
    <message>
        <source>The gateway of %1 at %2 does not answer</source>
        <translation>O gateway de %1 em %2 não responde</translation>
    </message>
</context>
<context>
    <name>RecordingLoader</name>
    <message>
        <source>The recording could not be fetched: %1</source>
        <translation>Não foi possível obter a gravação: %1</translation>
    </message>
    <message>
        <source>The recording could not be played</source>
        <translation>Não foi possível reproduzir a gravação</translation>
    </message>
    <message>
        <source>Fetching the recording: %1 %</source>
        <translation>Baixando a gravação: %1 %</translation>
    </message>
    <message>
        <source>Fetching the recording: %1 kB</source>
        <translation>Baixando a gravação: %1 kB</translation>
    </message>
</context>
<context>
    <name>RepositoryBuilder</name>
    <message>
        <source>Objects listed more than once in the tree (a loop or a shared child), shown once: %1</source>
        <translation>Objetos listados mais de uma vez na árvore (um laço ou um filho compartilhado), mostrados uma vez: %1</translation>
    </message>
    <message>
        <source>Repeated object ids, ignored: %1</source>
        <translation>Identificadores de objeto repetidos, ignorados: %1</translation>
    </message>
    <message>
        <source>Names longer than %1 characters, cut: %2</source>
        <translation>Nomes com mais de %1 caracteres, cortados: %2</translation>
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
    <message>
        <source>Bookmarks</source>
        <translation>Marcadores</translation>
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
    <name>StatsOverlay</name>
    <message>
        <source>RTSP (RTP over TCP)</source>
        <translation>RTSP (RTP sobre TCP)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>nenhum</translation>
    </message>
    <message>
        <source>hardware (%1)</source>
        <translation>hardware (%1)</translation>
    </message>
    <message>
        <source>software</source>
        <translation>software</translation>
    </message>
    <message>
        <source>Profile: %1</source>
        <translation>Perfil: %1</translation>
    </message>
    <message>
        <source>single stream</source>
        <translation>stream único</translation>
    </message>
    <message>
        <source>Transport: %1</source>
        <translation>Transporte: %1</translation>
    </message>
    <message>
        <source>Resolution: %1×%2</source>
        <translation>Resolução: %1×%2</translation>
    </message>
    <message>
        <source>FPS: %1</source>
        <translation>FPS: %1</translation>
    </message>
    <message>
        <source>Bitrate: %1 kbit/s</source>
        <translation>Taxa de bits: %1 kbit/s</translation>
    </message>
    <message>
        <source>Decoder: %1</source>
        <translation>Decodificador: %1</translation>
    </message>
    <message>
        <source>Dropped: %1</source>
        <translation>Descartados: %1</translation>
    </message>
    <message>
        <source>Live delay: %1 s</source>
        <translation>Atraso ao vivo: %1 s</translation>
    </message>
</context>
<context>
    <name>Timeline</name>
    <message>
        <source>Recordings unavailable</source>
        <translation>Gravações indisponíveis</translation>
    </message>
    <message>
        <source>Repeated hour of the clock change</source>
        <translation>Hora repetida na mudança de horário</translation>
    </message>
</context>
<context>
    <name>TimelinePanel</name>
    <message>
        <source>Previous day</source>
        <translation>Dia anterior</translation>
    </message>
    <message>
        <source>Next day</source>
        <translation>Próximo dia</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>Agora</translation>
    </message>
    <message>
        <source>Receipts unavailable</source>
        <translation>Cupons indisponíveis</translation>
    </message>
</context>
<context>
    <name>TimelinePlayback</name>
    <message>
        <source>Gap: %1 h %2 min skipped</source>
        <translation>Lacuna: %1 h %2 min pulados</translation>
    </message>
    <message>
        <source>Gap: %1 min skipped</source>
        <translation>Lacuna: %1 min pulados</translation>
    </message>
    <message>
        <source>Gap: %1 s skipped</source>
        <translation>Lacuna: %1 s pulados</translation>
    </message>
    <message>
        <source>No recording at %1</source>
        <translation>Sem gravação às %1</translation>
    </message>
    <message>
        <source>The recording at %1 is unavailable</source>
        <translation>A gravação das %1 está indisponível</translation>
    </message>
    <message>
        <source>The recording of %1–%2 is unavailable</source>
        <translation>A gravação de %1–%2 está indisponível</translation>
    </message>
    <message>
        <source>End of the recordings</source>
        <translation>Fim das gravações</translation>
    </message>
</context>
<context>
    <name>TransactionExport</name>
    <message>
        <source>Cancelled</source>
        <translation>Cancelado</translation>
    </message>
    <message>
        <source>No file name given</source>
        <translation>Nenhum nome de arquivo informado</translation>
    </message>
    <message>
        <source>the local store could not be opened: %1</source>
        <translation>não foi possível abrir o armazenamento local: %1</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>Não foi possível gravar %1: %2</translation>
    </message>
</context>
<context>
    <name>TransactionModel</name>
    <message>
        <source>No file name given</source>
        <translation>Nenhum nome de arquivo informado</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>Não foi possível gravar %1: %2</translation>
    </message>
</context>
<context>
    <name>TransactionSearch</name>
    <message>
        <source>Nothing to search: no till or no time range</source>
        <translation>Nada para buscar: nenhum caixa ou nenhum período</translation>
    </message>
    <message>
        <source>%1: 1 hour could not be searched</source>
        <translation>%1: não foi possível buscar 1 hora</translation>
    </message>
    <message>
        <source>%1: %2 hours could not be searched</source>
        <translation>%1: não foi possível buscar %2 horas</translation>
    </message>
</context>
<context>
    <name>TransactionsPage</name>
    <message>
        <source>A click shows the whole receipt; a double click plays its till&apos;s recording</source>
        <translation>Um clique mostra o cupom inteiro; clique duplo reproduz a gravação do caixa</translation>
    </message>
    <message>
        <source>Saved: %1</source>
        <translation>Salvo: %1</translation>
    </message>
    <message>
        <source>Export cancelled: nothing written</source>
        <translation>Exportação cancelada: nada foi gravado</translation>
    </message>
    <message>
        <source>The export failed: %1</source>
        <translation>A exportação falhou: %1</translation>
    </message>
    <message>
        <source>&quot;From&quot; is not a date and time such as %1 %2</source>
        <translation>&quot;De&quot; não é uma data e hora como %1 %2</translation>
    </message>
    <message>
        <source>&quot;To&quot; is not a date and time such as %1 %2</source>
        <translation>&quot;até&quot; não é uma data e hora como %1 %2</translation>
    </message>
    <message>
        <source>&quot;From&quot; must come before &quot;To&quot;</source>
        <translation>&quot;De&quot; deve vir antes de &quot;até&quot;</translation>
    </message>
    <message>
        <source>&quot;From&quot; is in the future: there are no receipts yet</source>
        <translation>&quot;De&quot; está no futuro: ainda não há cupons</translation>
    </message>
    <message>
        <source>At most 31 days can be searched at once</source>
        <translation>É possível buscar no máximo 31 dias de uma vez</translation>
    </message>
    <message>
        <source>The minimum amount is not a number such as 49.99</source>
        <translation>O valor mínimo não é um número como 49,99</translation>
    </message>
    <message>
        <source>This site has no cameras whose receipts could be searched</source>
        <translation>Este local não tem câmeras com cupons para buscar</translation>
    </message>
    <message>
        <source>Choose tills, a time and words, then Search</source>
        <translation>Escolha caixas, um período e palavras, e clique em Buscar</translation>
    </message>
    <message>
        <source>1 receipt found</source>
        <translation>1 cupom encontrado</translation>
    </message>
    <message>
        <source>%1 receipts found</source>
        <translation>%1 cupons encontrados</translation>
    </message>
    <message>
        <source>%1 in %2 searched</source>
        <translation>%1 em %2 buscados</translation>
    </message>
    <message>
        <source>the table shows the first %1 of %2</source>
        <translation>a tabela mostra os primeiros %1 de %2</translation>
    </message>
    <message>
        <source>Searching… %1</source>
        <translation>Buscando… %1</translation>
    </message>
    <message>
        <source>Cancelled: %1</source>
        <translation>Cancelado: %1</translation>
    </message>
    <message>
        <source>Searched what is stored: a gateway did not answer</source>
        <translation>Buscado no que está salvo: um gateway não respondeu</translation>
    </message>
    <message>
        <source>Searched what is stored: the gateway of %1 did not answer</source>
        <translation>Buscado no que está salvo: o gateway de %1 não respondeu</translation>
    </message>
    <message>
        <source>Searched what is stored: the gateways of %1 did not answer</source>
        <translation>Buscado no que está salvo: os gateways de %1 não responderam</translation>
    </message>
    <message>
        <source>The export failed: the folder for it could not be made</source>
        <translation>A exportação falhou: não foi possível criar a pasta</translation>
    </message>
    <message>
        <source>The export failed: another one is running</source>
        <translation>A exportação falhou: outra já está em andamento</translation>
    </message>
    <message>
        <source>Tills</source>
        <translation>Caixas</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Todos</translation>
    </message>
    <message>
        <source>Other cameras ◂</source>
        <translation>Outras câmeras ◂</translation>
    </message>
    <message>
        <source>Other cameras ▸</source>
        <translation>Outras câmeras ▸</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Quando</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Última hora</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Hoje</translation>
    </message>
    <message>
        <source>Yesterday</source>
        <translation>Ontem</translation>
    </message>
    <message>
        <source>Last 7 days</source>
        <translation>Últimos 7 dias</translation>
    </message>
    <message>
        <source>From</source>
        <translation>De</translation>
    </message>
    <message>
        <source>YYYY-MM-DD</source>
        <translation>AAAA-MM-DD</translation>
    </message>
    <message>
        <source>HH:MM</source>
        <translation>HH:MM</translation>
    </message>
    <message>
        <source>to</source>
        <translation>até</translation>
    </message>
    <message>
        <source>Words and &quot;quoted phrases&quot;</source>
        <translation>Palavras e &quot;frases entre aspas&quot;</translation>
    </message>
    <message>
        <source>Minimum amount</source>
        <translation>Valor mínimo</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Export CSV…</source>
        <translation>Exportar CSV…</translation>
    </message>
    <message>
        <source>Play the layout at this time</source>
        <translation>Reproduzir o mosaico neste horário</translation>
    </message>
    <message>
        <source>Exporting… %1 rows</source>
        <translation>Exportando… %1 linhas</translation>
    </message>
    <message>
        <source>Cancel export</source>
        <translation>Cancelar exportação</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Till</source>
        <translation>Caixa</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>Cupom</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Amount</source>
        <translation>Valor</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Linhas</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vídeo</translation>
    </message>
    <message>
        <source>no video</source>
        <translation>sem vídeo</translation>
    </message>
    <message>
        <source>No receipt matches</source>
        <translation>Nenhum cupom corresponde</translation>
    </message>
</context>
<context>
    <name>WallClockNames</name>
    <message>
        <source>Recordings named in the repeated hour of the clock change cannot be told apart</source>
        <translation>As gravações da hora repetida na mudança de horário não podem ser diferenciadas</translation>
    </message>
</context>
<context>
    <name>ZarnClient</name>
    <message>
        <source>The site&apos;s tree is not shown: %1</source>
        <translation>A árvore do local não é mostrada: %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Client</source>
        <translation>Cliente</translation>
    </message>
</context>
</TS>
