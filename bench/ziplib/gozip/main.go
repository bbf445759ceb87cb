// gozip: Go's archive/zip as one more column of the zip benchmark.
//
//	gozip create ARCHIVE LEVEL NAME...   (level 0 stores; folders are walked in name order)
//	gozip extract ARCHIVE FOLDER
//	gozip test ARCHIVE                    (inflates every entry; the reader checks each CRC)
//	gozip list ARCHIVE
package main

import (
	"archive/zip"
	"bufio"
	"compress/flate"
	"fmt"
	"io"
	"io/fs"
	"os"
	"path/filepath"
	"strconv"
	"strings"
	"sync"
)

func main() {
	if len(os.Args) < 3 {
		fail(fmt.Errorf("usage: gozip create|extract|test|list ARCHIVE ..."))
	}
	var err error
	switch args := os.Args[2:]; os.Args[1] {
	case "create":
		err = create(args[0], args[1], args[2:])
	case "extract":
		err = extract(args[0], args[1])
	case "test":
		err = test(args[0])
	case "list":
		err = list(args[0])
	default:
		err = fmt.Errorf("unknown command %s", os.Args[1])
	}
	if err != nil {
		fail(err)
	}
}

func fail(err error) {
	fmt.Fprintln(os.Stderr, "gozip:", err)
	os.Exit(1)
}

func create(archive, levelText string, names []string) error {
	level, err := strconv.Atoi(levelText)
	if err != nil {
		return err
	}
	out, err := os.Create(archive)
	if err != nil {
		return err
	}
	defer out.Close()
	buffered := bufio.NewWriterSize(out, 1<<20)
	writer := zip.NewWriter(buffered)
	writer.RegisterCompressor(zip.Deflate, pooledCompressor(level))
	for _, name := range names {
		if err := filepath.WalkDir(name, func(path string, entry fs.DirEntry, err error) error {
			if err != nil {
				return err
			}
			return addEntry(writer, path, entry, level)
		}); err != nil {
			return err
		}
	}
	if err := writer.Close(); err != nil {
		return err
	}
	return buffered.Flush()
}

// pooledCompressor reuses deflate writers from entry to entry, as archive/zip's own default
// compressor does; a fresh writer per entry would cost small files far more than their data.
func pooledCompressor(level int) zip.Compressor {
	var pool sync.Pool
	return func(w io.Writer) (io.WriteCloser, error) {
		if writer, ok := pool.Get().(*flate.Writer); ok {
			writer.Reset(w)
			return &pooledWriter{writer, &pool}, nil
		}
		writer, err := flate.NewWriter(w, level)
		if err != nil {
			return nil, err
		}
		return &pooledWriter{writer, &pool}, nil
	}
}

type pooledWriter struct {
	*flate.Writer
	pool *sync.Pool
}

func (p *pooledWriter) Close() error {
	err := p.Writer.Close()
	p.pool.Put(p.Writer)
	return err
}

func addEntry(writer *zip.Writer, path string, entry fs.DirEntry, level int) error {
	info, err := entry.Info()
	if err != nil {
		return err
	}
	header, err := zip.FileInfoHeader(info)
	if err != nil {
		return err
	}
	header.Name = filepath.ToSlash(path)
	if entry.IsDir() {
		header.Name += "/"
		_, err = writer.CreateHeader(header)
		return err
	}
	header.Method = zip.Deflate
	if level == 0 {
		header.Method = zip.Store
	}
	target, err := writer.CreateHeader(header)
	if err != nil {
		return err
	}
	file, err := os.Open(path)
	if err != nil {
		return err
	}
	defer file.Close()
	_, err = io.Copy(target, file)
	return err
}

func extract(archive, folder string) error {
	reader, err := zip.OpenReader(archive)
	if err != nil {
		return err
	}
	defer reader.Close()
	for _, file := range reader.File {
		path := filepath.Join(folder, file.Name)
		if !strings.HasPrefix(path, filepath.Clean(folder)+string(os.PathSeparator)) {
			return fmt.Errorf("entry %q leaves the folder", file.Name)
		}
		if file.FileInfo().IsDir() {
			if err := os.MkdirAll(path, 0o755); err != nil {
				return err
			}
			continue
		}
		if err := extractFile(file, path); err != nil {
			return err
		}
	}
	return nil
}

func extractFile(file *zip.File, path string) error {
	if err := os.MkdirAll(filepath.Dir(path), 0o755); err != nil {
		return err
	}
	source, err := file.Open()
	if err != nil {
		return err
	}
	defer source.Close()
	target, err := os.Create(path)
	if err != nil {
		return err
	}
	if _, err := io.Copy(target, source); err != nil {
		target.Close()
		return err
	}
	if err := target.Close(); err != nil {
		return err
	}
	return os.Chtimes(path, file.Modified, file.Modified)
}

func test(archive string) error {
	reader, err := zip.OpenReader(archive)
	if err != nil {
		return err
	}
	defer reader.Close()
	for _, file := range reader.File {
		source, err := file.Open()
		if err != nil {
			return err
		}
		_, err = io.Copy(io.Discard, source)
		source.Close()
		if err != nil {
			return fmt.Errorf("%s: %w", file.Name, err)
		}
	}
	return nil
}

func list(archive string) error {
	reader, err := zip.OpenReader(archive)
	if err != nil {
		return err
	}
	defer reader.Close()
	out := bufio.NewWriter(os.Stdout)
	for _, file := range reader.File {
		fmt.Fprintf(out, "%s\t%d\t%d\t%d\n", file.Name, file.UncompressedSize64,
			file.CompressedSize64, file.Method)
	}
	return out.Flush()
}
