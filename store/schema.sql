-- The local database kvdb.dat: five tables. Prices and popularity keep the exact text
-- the service delivered and order by value through the numeric collation KOVANUM,
-- which every connection registers.
CREATE TABLE word (
    word TEXT,
    "count" INTEGER
);
CREATE TABLE cxnr (
    bh INTEGER,
    bz1 TEXT,
    bz2 TEXT,
    cxrq INTEGER,
    cph TEXT,
    cpmc TEXT,
    xtp TEXT,
    dtp TEXT,
    rc TEXT COLLATE KOVANUM,
    jg TEXT COLLATE KOVANUM,
    cplj TEXT,
    sjlx TEXT,
    cxsj TEXT,
    hdxx TEXT,
    zpbz TEXT,
    pjjb TEXT,
    "check" TEXT
);
CREATE TABLE tpb (
    word TEXT,
    tpid TEXT,
    bh TEXT
);
CREATE TABLE scnr (
    scrq INTEGER,
    bz1 TEXT,
    bz2 TEXT,
    jjcj TEXT,
    ufid TEXT,
    "user" TEXT,
    scid TEXT,
    cph TEXT,
    cpmc TEXT,
    xtp TEXT,
    dtp TEXT,
    scsj TEXT,
    scjg TEXT,
    gxjg TEXT,
    cplj TEXT,
    sjlx TEXT
);
CREATE TABLE xxb (
    ver TEXT,
    u TEXT,
    p TEXT,
    a TEXT,
    b TEXT
);
CREATE INDEX tpb_tpid ON tpb (tpid);
CREATE INDEX word_word ON word (word);
