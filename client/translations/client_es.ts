<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AlarmView</name>
    <message>
        <source>%1 new</source>
        <translation>%1 nuevos</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>Reconocer</translation>
    </message>
    <message>
        <source>No events</source>
        <translation>Sin eventos</translation>
    </message>
</context>
<context>
    <name>BookmarkNoteField</name>
    <message>
        <source>Bookmark %1 at %2</source>
        <translation>Marcador de %1 a las %2</translation>
    </message>
    <message>
        <source>Note (Enter keeps it, Esc drops it)</source>
        <translation>Nota (Intro la guarda, Esc la descarta)</translation>
    </message>
    <message>
        <source>The note is cut at 500 characters</source>
        <translation>La nota se corta a 500 caracteres</translation>
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
        <translation>Esta cámara ya no está en el sitio</translation>
    </message>
    <message>
        <source>Delete the bookmark of %1 at %2?</source>
        <translation>¿Borrar el marcador de %1 a las %2?</translation>
    </message>
    <message>
        <source>Find words in notes, cameras, names</source>
        <translation>Buscar palabras en notas, cámaras, nombres</translation>
    </message>
    <message>
        <source>Delete…</source>
        <translation>Borrar…</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Cámara</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Nota</translation>
    </message>
    <message>
        <source>Who</source>
        <translation>Quién</translation>
    </message>
    <message>
        <source>%1 (removed)</source>
        <translation>%1 (retirada)</translation>
    </message>
    <message>
        <source>No bookmarks yet: B marks the moment shown</source>
        <translation>Aún no hay marcadores: B marca el momento mostrado</translation>
    </message>
    <message>
        <source>No bookmark matches</source>
        <translation>Ningún marcador coincide</translation>
    </message>
    <message>
        <source>Delete bookmark</source>
        <translation>Borrar marcador</translation>
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
    <message>
        <source>Not a network stream, not played: %1</source>
        <translation>No es un flujo de red, no se reproduce: %1</translation>
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
        <translation>La cámara deniega el acceso, reintento en %1 s</translation>
    </message>
    <message>
        <source>The camera does not know this stream, retrying in %1 s</source>
        <translation>La cámara no conoce este flujo, reintento en %1 s</translation>
    </message>
    <message>
        <source>The camera does not answer, retrying in %1 s</source>
        <translation>La cámara no responde, reintento en %1 s</translation>
    </message>
    <message>
        <source>The video cannot be decoded, retrying in %1 s</source>
        <translation>No se puede decodificar el vídeo, reintento en %1 s</translation>
    </message>
    <message>
        <source>The camera does not speak RTSP, retrying in %1 s</source>
        <translation>La cámara no habla RTSP, reintento en %1 s</translation>
    </message>
    <message>
        <source>The camera refuses the connection, retrying in %1 s</source>
        <translation>La cámara rechaza la conexión, reintento en %1 s</translation>
    </message>
    <message>
        <source>The camera closed the connection, retrying in %1 s</source>
        <translation>La cámara cerró la conexión, reintento en %1 s</translation>
    </message>
    <message>
        <source>No signal, retrying in %1 s</source>
        <translation>Sin señal, reintento en %1 s</translation>
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
        <translation>Se perdió la conexión con el servidor. Reconectando…</translation>
    </message>
    <message>
        <source>Connection to the server lost. Next attempt in %1 s</source>
        <translation>Se perdió la conexión con el servidor. Nuevo intento en %1 s</translation>
    </message>
</context>
<context>
    <name>DoorView</name>
    <message>
        <source>State unknown</source>
        <translation>Estado desconocido</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
</context>
<context>
    <name>Downloader</name>
    <message>
        <source>Not an HTTP address</source>
        <translation>No es una dirección HTTP</translation>
    </message>
    <message>
        <source>The gateway answered HTTP %1</source>
        <translation>La pasarela respondió HTTP %1</translation>
    </message>
    <message>
        <source>The gateway sent more than the recording holds (over %1 bytes)</source>
        <translation>La pasarela envió más de lo que tiene la grabación (más de %1 bytes)</translation>
    </message>
    <message>
        <source>The gateway stopped sending: %1 bytes in the last %2 s</source>
        <translation>La pasarela dejó de enviar: %1 bytes en los últimos %2 s</translation>
    </message>
</context>
<context>
    <name>EventsPage</name>
    <message>
        <source>All classes</source>
        <translation>Todas las clases</translation>
    </message>
    <message>
        <source>All sources</source>
        <translation>Todos los orígenes</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Nuevo</translation>
    </message>
    <message>
        <source>Acknowledged by %1 at %2</source>
        <translation>Reconocido por %1 a las %2</translation>
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
        <translation>%1, nuevos: %2</translation>
    </message>
    <message>
        <source>New only</source>
        <translation>Solo nuevos</translation>
    </message>
    <message>
        <source>Find in events</source>
        <translation>Buscar en eventos</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>Reconocer</translation>
    </message>
    <message>
        <source>Play the layout at this time</source>
        <translation>Reproducir el mosaico a esta hora</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>Reconocer todos</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Origen</translation>
    </message>
    <message>
        <source>Class</source>
        <translation>Clase</translation>
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
        <translation>Aún no hay eventos</translation>
    </message>
    <message>
        <source>No event matches</source>
        <translation>Ningún evento coincide</translation>
    </message>
</context>
<context>
    <name>ExportPanel</name>
    <message>
        <source>In %1  Out %2</source>
        <translation>Entrada %1  Salida %2</translation>
    </message>
    <message>
        <source>I and O mark in and out at the play head; Shift+drag on the timeline marks a range</source>
        <translation>I y O marcan entrada y salida en el cabezal; Mayús+arrastrar en la línea de tiempo marca un tramo</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportar</translation>
    </message>
    <message>
        <source>The manifest is signed with this console&apos;s key, SHA-256 %1</source>
        <translation>El manifiesto se firma con la clave de esta consola, SHA-256 %1</translation>
    </message>
    <message>
        <source>The manifest is signed with this console&apos;s key, made at the first export</source>
        <translation>El manifiesto se firma con la clave de esta consola, creada en la primera exportación</translation>
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
        <translation>Abrir carpeta</translation>
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
        <translation>Haga clic en una cámara y pulse B</translation>
    </message>
</context>
<context>
    <name>LayoutPlaybackBar</name>
    <message>
        <source>Play</source>
        <translation>Reproducir</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausa</translation>
    </message>
    <message>
        <source>One frame back</source>
        <translation>Un fotograma atrás</translation>
    </message>
    <message>
        <source>One frame on</source>
        <translation>Un fotograma adelante</translation>
    </message>
    <message>
        <source>PLAYBACK  %1</source>
        <translation>REPRODUCCIÓN  %1</translation>
    </message>
    <message>
        <source>Back to live</source>
        <translation>Volver a en vivo</translation>
    </message>
    <message>
        <source>Every cell live again (Esc)</source>
        <translation>Todas las celdas en vivo otra vez (Esc)</translation>
    </message>
    <message>
        <source>Bookmark</source>
        <translation>Marcador</translation>
    </message>
    <message>
        <source>Mark this moment of the camera shown alone or last clicked (B)</source>
        <translation>Marcar este momento de la cámara mostrada sola o pulsada la última (B)</translation>
    </message>
</context>
<context>
    <name>LoginPage</name>
    <message>
        <source>Working</source>
        <translation>Procesando</translation>
    </message>
    <message>
        <source>server information</source>
        <translation>datos del servidor</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Servidor</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Puerto</translation>
    </message>
    <message>
        <source>login credentials</source>
        <translation>credenciales de acceso</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Usuario</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Contraseña</translation>
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
        <translation>Reproducción: todo el mosaico desde hace un minuto (Ctrl+P)</translation>
    </message>
    <message>
        <source>No camera shows this event&apos;s source</source>
        <translation>Ninguna cámara muestra el origen de este evento</translation>
    </message>
</context>
<context>
    <name>MomentField</name>
    <message>
        <source>Go to… (Ctrl+G)</source>
        <translation>Ir a… (Ctrl+G)</translation>
    </message>
    <message>
        <source>A moment to play: 2026-12-08 14:30, 14:30 (today) or yesterday 14:30</source>
        <translation>Un momento a reproducir: 2026-12-08 14:30, 14:30 (hoy) o yesterday 14:30</translation>
    </message>
</context>
<context>
    <name>MomentParser</name>
    <message>
        <source>Type a moment as 2026-12-08 14:30, 14:30 (today) or yesterday 14:30; seconds may follow (14:30:15)</source>
        <translation>Escriba un momento como 2026-12-08 14:30, 14:30 (hoy) o yesterday 14:30; se pueden añadir segundos (14:30:15)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a moment. %2</source>
        <translation>«%1» no es un momento. %2</translation>
    </message>
    <message>
        <source>There is no day %1. %2</source>
        <translation>No existe el día %1. %2</translation>
    </message>
    <message>
        <source>There is no time %1 in a day. %2</source>
        <translation>No existe la hora %1 en un día. %2</translation>
    </message>
    <message>
        <source>%1 did not happen here: the clock was put forward over it</source>
        <translation>%1 no existió aquí: el reloj se adelantó</translation>
    </message>
    <message>
        <source>%1 happened twice here: the clock was put back over it; choose a moment outside that hour</source>
        <translation>%1 ocurrió dos veces aquí: el reloj se atrasó; elija un momento fuera de esa hora</translation>
    </message>
    <message>
        <source>%1 is still to come</source>
        <translation>%1 aún no ha llegado</translation>
    </message>
</context>
<context>
    <name>MotionSearch</name>
    <message>
        <source>Choose a camera whose gateway is known first</source>
        <translation>Elija primero una cámara cuya pasarela se conozca</translation>
    </message>
    <message>
        <source>Mark an area of the picture first</source>
        <translation>Marque primero una zona de la imagen</translation>
    </message>
    <message>
        <source>An area has no size: draw it larger</source>
        <translation>Una zona no tiene tamaño: dibújela más grande</translation>
    </message>
    <message>
        <source>The range to search is empty</source>
        <translation>El intervalo que buscar está vacío</translation>
    </message>
    <message>
        <source>A search covers at most 7 days: choose a shorter range</source>
        <translation>Una búsqueda abarca como máximo 7 días: elija un intervalo más corto</translation>
    </message>
    <message>
        <source>Part of the range could not be listed by the event server: it was not searched</source>
        <translation>El servidor de eventos no pudo listar parte del intervalo: esa parte no se buscó</translation>
    </message>
</context>
<context>
    <name>MotionSearchPanel</name>
    <message>
        <source>Motion search</source>
        <translation>Búsqueda de movimiento</translation>
    </message>
    <message>
        <source>Drag on the picture to mark where to look; several areas may be marked.</source>
        <translation>Arrastre sobre la imagen para marcar dónde buscar; se pueden marcar varias zonas.</translation>
    </message>
    <message>
        <source>Clear the areas</source>
        <translation>Borrar las zonas</translation>
    </message>
    <message>
        <source>What the timeline shows</source>
        <translation>Lo que muestra la línea de tiempo</translation>
    </message>
    <message>
        <source>The last hour</source>
        <translation>La última hora</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Hoy</translation>
    </message>
    <message>
        <source>From… to…</source>
        <translation>Desde… hasta…</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Desde</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Hasta</translation>
    </message>
    <message>
        <source>Sensitivity</source>
        <translation>Sensibilidad</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Baja</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Media</translation>
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
        <translation>1 grabación no se pudo leer</translation>
    </message>
    <message>
        <source>%1 recordings could not be read</source>
        <translation>%1 grabaciones no se pudieron leer</translation>
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
        <translation>Sin grabación</translation>
    </message>
    <message>
        <source>The gateway does not answer</source>
        <translation>La pasarela no responde</translation>
    </message>
    <message>
        <source>Recordings unavailable</source>
        <translation>Grabaciones no disponibles</translation>
    </message>
    <message>
        <source>Searching the recordings…</source>
        <translation>Buscando las grabaciones…</translation>
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
    <name>RecordedChoices</name>
    <message>
        <source>Delete all streams</source>
        <translation>Borrar todos los flujos</translation>
    </message>
</context>
<context>
    <name>RecordedControls</name>
    <message>
        <source>Play the layout from here</source>
        <translation>Reproducir el mosaico desde aquí</translation>
    </message>
    <message>
        <source>Every camera of the layout at this moment, in step</source>
        <translation>Todas las cámaras del mosaico en este momento, sincronizadas</translation>
    </message>
    <message>
        <source>Bookmark</source>
        <translation>Marcador</translation>
    </message>
    <message>
        <source>Mark the moment shown with a note (B)</source>
        <translation>Marcar el momento mostrado con una nota (B)</translation>
    </message>
    <message>
        <source>Motion search</source>
        <translation>Búsqueda de movimiento</translation>
    </message>
    <message>
        <source>Find the moments something moved in an area of the picture (Ctrl+M)</source>
        <translation>Encontrar los momentos en que algo se movió en una zona de la imagen (Ctrl+M)</translation>
    </message>
</context>
<context>
    <name>RecordedPage</name>
    <message>
        <source>The receipts of this recording could not be fetched</source>
        <translation>No se pudieron obtener los tickets de esta grabación</translation>
    </message>
    <message>
        <source>Available streams</source>
        <translation>Flujos disponibles</translation>
    </message>
    <message>
        <source>Recorded chunks</source>
        <translation>Tramos grabados</translation>
    </message>
    <message>
        <source>start: %1</source>
        <translation>inicio: %1</translation>
    </message>
    <message>
        <source>end: %1</source>
        <translation>fin: %1</translation>
    </message>
    <message>
        <source>size: %1</source>
        <translation>tamaño: %1</translation>
    </message>
    <message>
        <source>Opening the recording…</source>
        <translation>Abriendo la grabación…</translation>
    </message>
    <message>
        <source>No recorded video at that time</source>
        <translation>No hay vídeo grabado a esa hora</translation>
    </message>
    <message>
        <source>Receipt in %1 s</source>
        <translation>Ticket en %1 s</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>Ticket</translation>
    </message>
    <message>
        <source>%1 s after the receipt</source>
        <translation>%1 s después del ticket</translation>
    </message>
    <message>
        <source>Play from %1</source>
        <translation>Reproducir desde %1</translation>
    </message>
    <message>
        <source>The gateway of %1 at %2 does not answer</source>
        <translation>La pasarela de %1 en %2 no responde</translation>
    </message>
</context>
<context>
    <name>RecordingLoader</name>
    <message>
        <source>The recording could not be fetched: %1</source>
        <translation>No se pudo obtener la grabación: %1</translation>
    </message>
    <message>
        <source>The recording could not be played</source>
        <translation>No se pudo reproducir la grabación</translation>
    </message>
    <message>
        <source>Fetching the recording: %1 %</source>
        <translation>Descargando la grabación: %1 %</translation>
    </message>
    <message>
        <source>Fetching the recording: %1 kB</source>
        <translation>Descargando la grabación: %1 kB</translation>
    </message>
</context>
<context>
    <name>RepositoryBuilder</name>
    <message>
        <source>Objects listed more than once in the tree (a loop or a shared child), shown once: %1</source>
        <translation>Objetos que aparecen más de una vez en el árbol (un bucle o un hijo compartido), mostrados una vez: %1</translation>
    </message>
    <message>
        <source>Repeated object ids, ignored: %1</source>
        <translation>Identificadores de objeto repetidos, ignorados: %1</translation>
    </message>
    <message>
        <source>Names longer than %1 characters, cut: %2</source>
        <translation>Nombres de más de %1 caracteres, recortados: %2</translation>
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
    <message>
        <source>Bookmarks</source>
        <translation>Marcadores</translation>
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
    <name>StatsOverlay</name>
    <message>
        <source>RTSP (RTP over TCP)</source>
        <translation>RTSP (RTP sobre TCP)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>ninguno</translation>
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
        <translation>flujo único</translation>
    </message>
    <message>
        <source>Transport: %1</source>
        <translation>Transporte: %1</translation>
    </message>
    <message>
        <source>Resolution: %1×%2</source>
        <translation>Resolución: %1×%2</translation>
    </message>
    <message>
        <source>FPS: %1</source>
        <translation>FPS: %1</translation>
    </message>
    <message>
        <source>Bitrate: %1 kbit/s</source>
        <translation>Tasa de bits: %1 kbit/s</translation>
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
        <translation>Retardo en vivo: %1 s</translation>
    </message>
</context>
<context>
    <name>Timeline</name>
    <message>
        <source>Recordings unavailable</source>
        <translation>Grabaciones no disponibles</translation>
    </message>
    <message>
        <source>Repeated hour of the clock change</source>
        <translation>Hora repetida por el cambio de hora</translation>
    </message>
</context>
<context>
    <name>TimelinePanel</name>
    <message>
        <source>Previous day</source>
        <translation>Día anterior</translation>
    </message>
    <message>
        <source>Next day</source>
        <translation>Día siguiente</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>Ahora</translation>
    </message>
    <message>
        <source>Receipts unavailable</source>
        <translation>Tickets no disponibles</translation>
    </message>
</context>
<context>
    <name>TimelinePlayback</name>
    <message>
        <source>Gap: %1 h %2 min skipped</source>
        <translation>Hueco: %1 h %2 min saltados</translation>
    </message>
    <message>
        <source>Gap: %1 min skipped</source>
        <translation>Hueco: %1 min saltados</translation>
    </message>
    <message>
        <source>Gap: %1 s skipped</source>
        <translation>Hueco: %1 s saltados</translation>
    </message>
    <message>
        <source>No recording at %1</source>
        <translation>Sin grabación a las %1</translation>
    </message>
    <message>
        <source>The recording at %1 is unavailable</source>
        <translation>La grabación de las %1 no está disponible</translation>
    </message>
    <message>
        <source>The recording of %1–%2 is unavailable</source>
        <translation>La grabación de %1–%2 no está disponible</translation>
    </message>
    <message>
        <source>End of the recordings</source>
        <translation>Fin de las grabaciones</translation>
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
        <translation>No se indicó nombre de archivo</translation>
    </message>
    <message>
        <source>the local store could not be opened: %1</source>
        <translation>no se pudo abrir el almacén local: %1</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>No se pudo escribir %1: %2</translation>
    </message>
</context>
<context>
    <name>TransactionModel</name>
    <message>
        <source>No file name given</source>
        <translation>No se indicó nombre de archivo</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>No se pudo escribir %1: %2</translation>
    </message>
</context>
<context>
    <name>TransactionSearch</name>
    <message>
        <source>Nothing to search: no till or no time range</source>
        <translation>Nada que buscar: ninguna caja o ningún periodo</translation>
    </message>
    <message>
        <source>%1: 1 hour could not be searched</source>
        <translation>%1: no se pudo buscar 1 hora</translation>
    </message>
    <message>
        <source>%1: %2 hours could not be searched</source>
        <translation>%1: no se pudieron buscar %2 horas</translation>
    </message>
</context>
<context>
    <name>TransactionsPage</name>
    <message>
        <source>A click shows the whole receipt; a double click plays its till&apos;s recording</source>
        <translation>Un clic muestra el ticket entero; doble clic reproduce la grabación de su caja</translation>
    </message>
    <message>
        <source>Saved: %1</source>
        <translation>Guardado: %1</translation>
    </message>
    <message>
        <source>Export cancelled: nothing written</source>
        <translation>Exportación cancelada: no se escribió nada</translation>
    </message>
    <message>
        <source>The export failed: %1</source>
        <translation>La exportación falló: %1</translation>
    </message>
    <message>
        <source>&quot;From&quot; is not a date and time such as %1 %2</source>
        <translation>«Desde» no es una fecha y hora como %1 %2</translation>
    </message>
    <message>
        <source>&quot;To&quot; is not a date and time such as %1 %2</source>
        <translation>«hasta» no es una fecha y hora como %1 %2</translation>
    </message>
    <message>
        <source>&quot;From&quot; must come before &quot;To&quot;</source>
        <translation>«Desde» debe ser anterior a «hasta»</translation>
    </message>
    <message>
        <source>&quot;From&quot; is in the future: there are no receipts yet</source>
        <translation>«Desde» está en el futuro: aún no hay tickets</translation>
    </message>
    <message>
        <source>At most 31 days can be searched at once</source>
        <translation>Se pueden buscar como máximo 31 días a la vez</translation>
    </message>
    <message>
        <source>The minimum amount is not a number such as 49.99</source>
        <translation>El importe mínimo no es un número como 49,99</translation>
    </message>
    <message>
        <source>This site has no cameras whose receipts could be searched</source>
        <translation>Este sitio no tiene cámaras con tickets que buscar</translation>
    </message>
    <message>
        <source>Choose tills, a time and words, then Search</source>
        <translation>Elija cajas, un periodo y palabras, y pulse Buscar</translation>
    </message>
    <message>
        <source>1 receipt found</source>
        <translation>1 ticket encontrado</translation>
    </message>
    <message>
        <source>%1 receipts found</source>
        <translation>%1 tickets encontrados</translation>
    </message>
    <message>
        <source>%1 in %2 searched</source>
        <translation>%1 en %2 buscados</translation>
    </message>
    <message>
        <source>the table shows the first %1 of %2</source>
        <translation>la tabla muestra los primeros %1 de %2</translation>
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
        <translation>Se buscó en lo guardado: una pasarela no respondió</translation>
    </message>
    <message>
        <source>Searched what is stored: the gateway of %1 did not answer</source>
        <translation>Se buscó en lo guardado: la pasarela de %1 no respondió</translation>
    </message>
    <message>
        <source>Searched what is stored: the gateways of %1 did not answer</source>
        <translation>Se buscó en lo guardado: las pasarelas de %1 no respondieron</translation>
    </message>
    <message>
        <source>The export failed: the folder for it could not be made</source>
        <translation>La exportación falló: no se pudo crear su carpeta</translation>
    </message>
    <message>
        <source>The export failed: another one is running</source>
        <translation>La exportación falló: ya hay otra en curso</translation>
    </message>
    <message>
        <source>Tills</source>
        <translation>Cajas</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Todas</translation>
    </message>
    <message>
        <source>Other cameras ◂</source>
        <translation>Otras cámaras ◂</translation>
    </message>
    <message>
        <source>Other cameras ▸</source>
        <translation>Otras cámaras ▸</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Cuándo</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Última hora</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Hoy</translation>
    </message>
    <message>
        <source>Yesterday</source>
        <translation>Ayer</translation>
    </message>
    <message>
        <source>Last 7 days</source>
        <translation>Últimos 7 días</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Desde</translation>
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
        <translation>hasta</translation>
    </message>
    <message>
        <source>Words and &quot;quoted phrases&quot;</source>
        <translation>Palabras y &quot;frases entre comillas&quot;</translation>
    </message>
    <message>
        <source>Minimum amount</source>
        <translation>Importe mínimo</translation>
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
        <translation>Reproducir el mosaico a esta hora</translation>
    </message>
    <message>
        <source>Exporting… %1 rows</source>
        <translation>Exportando… %1 filas</translation>
    </message>
    <message>
        <source>Cancel export</source>
        <translation>Cancelar exportación</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Till</source>
        <translation>Caja</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>Ticket</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Amount</source>
        <translation>Importe</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Líneas</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vídeo</translation>
    </message>
    <message>
        <source>no video</source>
        <translation>sin vídeo</translation>
    </message>
    <message>
        <source>No receipt matches</source>
        <translation>Ningún ticket coincide</translation>
    </message>
</context>
<context>
    <name>WallClockNames</name>
    <message>
        <source>Recordings named in the repeated hour of the clock change cannot be told apart</source>
        <translation>Las grabaciones de la hora repetida por el cambio de hora no se pueden distinguir</translation>
    </message>
</context>
<context>
    <name>ZarnClient</name>
    <message>
        <source>The site&apos;s tree is not shown: %1</source>
        <translation>No se muestra el árbol del sitio: %1</translation>
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
